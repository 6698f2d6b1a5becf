"""Checks the built site as a reader's browser would follow it: every link, image, script and style sheet within the
site leads to a file that exists, and every #anchor to an element of that page; nothing is loaded from elsewhere
(no script, style sheet, font or image from another site, in the pages or in their style sheets). Every entry of the
published inventory (objects.inv, what other projects' intersphinx reads) leads to its page and anchor too, the API
entries among them. Links to other sites are counted, not fetched (the machine is offline).

Usage: python scripts/docs_links.py build/docs/html"""

from __future__ import annotations

import re
import sys
import zlib
from collections import Counter
from html.parser import HTMLParser
from pathlib import Path
from urllib.parse import unquote, urlsplit

# Attributes that load something into the page, against those the reader follows.
LOADED = {("script", "src"), ("img", "src"), ("link", "href"), ("source", "src"), ("iframe", "src")}
FOLLOWED = {("a", "href")}
CSS_URL = re.compile(r"url\(\s*['\"]?([^'\")]+)")
# Entries other projects will link to: the inventory must hold them.
PUBLISHED = ("brenlox_copt.Model.add_constraints", "brenlox_copt.Env", "brenlox_copt.COPT.CLIENT_PORT")


class Page(HTMLParser):
    def __init__(self) -> None:
        super().__init__()
        self.ids: set[str] = set()
        self.links: list[tuple[str, str, bool]] = []  # (tag, url, loaded)

    def handle_starttag(self, tag: str, attrs: list[tuple[str, str | None]]) -> None:
        for name, value in attrs:
            if name in ("id", "name") and value and (name == "id" or tag == "a"):
                self.ids.add(value)
            if value is not None and ((tag, name) in LOADED or (tag, name) in FOLLOWED):
                rel = dict(attrs).get("rel") or ""
                # A link element that only names a page (canonical, search) loads nothing.
                loaded = (tag, name) in LOADED and not (tag == "link" and rel not in ("stylesheet", "icon", "preload"))
                self.links.append((tag, value, loaded))


def main(site: Path) -> int:
    pages = {path.resolve(): _parse(path) for path in sorted(site.rglob("*.html"))}
    problems: list[str] = []
    internal = anchored = 0
    elsewhere: Counter[str] = Counter()
    for path, page in pages.items():
        for tag, url, loaded in page.links:
            parts = urlsplit(url)
            if parts.scheme or parts.netloc:
                if loaded or parts.scheme not in ("http", "https", "mailto"):
                    problems.append(f"{_name(path, site)}: <{tag}> loads {url} from elsewhere")
                else:
                    elsewhere[parts.netloc or parts.scheme] += 1
                continue
            internal += 1
            target = (path.parent / unquote(parts.path)).resolve() if parts.path else path.resolve()
            if not target.is_file() or site.resolve() not in target.parents:
                problems.append(f"{_name(path, site)}: <{tag}> {url}: no such file in the site")
                continue
            if parts.fragment:
                anchored += 1
                ids = pages[target].ids if target in pages else set()
                if unquote(parts.fragment) not in ids:
                    problems.append(f"{_name(path, site)}: {url}: no element #{parts.fragment} there")
    for sheet in sorted(site.rglob("*.css")):
        for url in CSS_URL.findall(sheet.read_text(encoding="utf-8", errors="replace")):
            parts = urlsplit(url)
            if parts.scheme in ("http", "https") or parts.netloc:
                problems.append(f"{_name(sheet, site)}: loads {url} from elsewhere")
            elif parts.scheme != "data" and not (sheet.parent / unquote(parts.path)).is_file():
                problems.append(f"{_name(sheet, site)}: {url}: no such file in the site")
    entries = _inventory(site / "objects.inv")
    for name, uri in entries.items():
        page, _, anchor = uri.partition("#")
        target = (site / page).resolve()
        if target not in pages or (anchor and anchor not in pages[target].ids):
            problems.append(f"objects.inv: {name} -> {uri}: no such page or anchor")
    problems += [f"objects.inv: no entry {name}" for name in PUBLISHED if name not in entries]
    for problem in problems:
        print(f"docs-links: {problem}")
    hosts = ", ".join(f"{host} {count}" for host, count in elsewhere.most_common())
    foreign = sum("from elsewhere" in problem for problem in problems)
    print(f"docs-links: {len(pages)} pages, {internal} links within the site ({anchored} to an anchor) and "
          f"{len(entries)} entries of objects.inv, {len(problems) - foreign} broken; {foreign} things loaded from "
          f"elsewhere; links to other sites, not fetched: {hosts or 'none'}")
    return 1 if problems else 0


def _inventory(path: Path) -> dict[str, str]:
    """Sphinx's inventory: four lines of header, then zlib-compressed lines "name domain:role priority uri
    display", where a uri ending in $ stands for the name."""
    data = path.read_bytes()
    body = data.split(b"\n", 4)[4]
    entries = {}
    for line in zlib.decompress(body).decode("utf-8").splitlines():
        match = re.match(r"(.+?)\s+(\S+):(\S+)\s+(-?\d+)\s+(\S*)\s+(.*)", line)
        if match and match[2] == "py":
            name, uri = match[1], match[5]
            entries[name] = uri[:-1] + name if uri.endswith("$") else uri
    return entries


def _parse(path: Path) -> Page:
    page = Page()
    page.feed(path.read_text(encoding="utf-8"))
    return page


def _name(path: Path, site: Path) -> str:
    return path.resolve().relative_to(site.resolve()).as_posix()


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1])))
