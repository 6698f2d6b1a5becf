# prologue.sh: sourced first by the scripts: strict mode, the repository root as $root and the working folder, and
# $werror for the builds' BRENLOX_WERROR (ON under CI, where a compiler warning fails the build; OFF elsewhere).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if [ -n "${CI:-}" ]; then werror=ON; else werror=OFF; fi
