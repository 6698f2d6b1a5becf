"""The benchmark page's figures, drawn with matplotlib at every build from the result files the benchmark runs write
(benchmarks/results/*.json, see benchmarks/results.py), each with the table of what it plots beside it. Usage:

    ```{benchmark-figure} input-forms
    ```

Figures: `input-forms` (nanoseconds per nonzero of add_constraints by input form, against highspy's arrays and the
floors, from arrays.json), `list-rows` (the same for plain lists by model size, from run.json) and `layers` (each
modelling layer through our adapter and through its HiGHS adapter by N, from layers.json; a layer added to the
benchmark gets its own panel; `layers-3.12` the same from layers-3.12.json, the layers run on CPython 3.12)."""

from __future__ import annotations

import json
import os
from collections.abc import Callable
from pathlib import Path

import matplotlib

matplotlib.use("agg")
import matplotlib.pyplot as plt  # noqa: E402
from docutils import nodes  # noqa: E402
from sphinx.application import Sphinx  # noqa: E402
from sphinx.errors import ExtensionError  # noqa: E402
from sphinx.util.docutils import SphinxDirective  # noqa: E402

# Text as paths and no date or random ids: a figure needs no font on the reader's side and is the same file for the
# same results.
matplotlib.rcParams.update({"svg.fonttype": "path", "svg.hashsalt": "brenlox_copt", "font.size": 9})

Table = tuple[list[str], list[list[str]]]


def _rows(record: dict, **match) -> list[dict]:
    return [row for row in record["rows"] if all(row.get(key) == value for key, value in match.items())]


def input_forms(record: dict) -> tuple[plt.Figure, str, Table]:
    forms = [("arrays", "rows_lists", "lists of lists"), ("arrays", "rows_1d", "lists of 1-D arrays"),
             ("arrays", "rows_2d", "2-D arrays"), ("highspy_numpy", "rows", "highspy, CSR arrays"),
             ("arrays", "rows_floor", "floor: copy the arrays")]
    cases = sorted({(row["model"], row["size"]) for row in _rows(record, arm="arrays")}, key=lambda case: case[1])
    figure, axes = plt.subplots(figsize=(6.4, 3.6), layout="constrained")
    width = 0.8 / len(forms)
    body = []
    for position, (arm, phase, label) in enumerate(forms):
        heights = []
        for model, size in cases:
            found = _rows(record, model=model, size=size, arm=arm, phase=phase)
            heights.append(found[0]["min_ns"] if found else float("nan"))
            if found:
                body.append([_case_label(model, size), label, f"{found[0]['median_ns']:.1f}",
                             f"{found[0]['min_ns']:.1f}"])
        axes.bar([index + (position - (len(forms) - 1) / 2) * width for index in range(len(cases))], heights, width,
                 label=label)
    axes.set_xticks(range(len(cases)), [_case_label(model, size) for model, size in cases])
    axes.set_yscale("log")
    axes.set_ylabel("ns per nonzero (minimum)")
    axes.legend(fontsize=8)
    caption = ("add_constraints by input form: nanoseconds per nonzero (the minimum of the repetitions; log scale), "
               "beside highspy's compressed-row arrays and the floor that only copies the same arrays.")
    return figure, caption, (["rows", "input form", "median ns", "min ns"], sorted(body, key=lambda row: row[0]))


def list_rows(record: dict) -> tuple[plt.Figure, str, Table]:
    arms = [("ours", "brenlox_copt, lists"), ("highspy_lists", "highspy, lists"),
            ("highspy_numpy", "highspy, NumPy arrays"), ("floor", "floor: read the lists")]
    sizes = sorted({row["size"] for row in _rows(record, model="lp", phase="rows", arm="ours")})
    figure, axes = plt.subplots(figsize=(6.4, 3.6), layout="constrained")
    body = []
    for arm, label in arms:
        found = [_rows(record, model="lp", size=size, arm=arm, phase="rows") for size in sizes]
        axes.plot(sizes, [rows[0]["min_ns"] if rows else float("nan") for rows in found], marker="o", label=label)
        body += [[str(size), label, f"{rows[0]['median_ns']:.1f}", f"{rows[0]['min_ns']:.1f}"]
                 for size, rows in zip(sizes, found) if rows]
    axes.set_xticks(sizes, [str(size) for size in sizes])
    axes.set_xlabel("N (the classic LP: 2N² rows of two terms)")
    axes.set_ylabel("ns per nonzero (minimum)")
    axes.set_ylim(bottom=0)
    axes.legend(fontsize=8)
    caption = ("add_constraints from lists of lists against highspy and the floor, by model size: nanoseconds per "
               "nonzero (the minimum of the repetitions).")
    return figure, caption, (["N", "arm", "median ns", "min ns"], sorted(body, key=lambda row: int(row[0])))


def layers(record: dict) -> tuple[plt.Figure, str, Table]:
    names = list(dict.fromkeys(row["layer"] for row in record["rows"]))
    columns = min(len(names), 2)
    figure, grid = plt.subplots((len(names) + columns - 1) // columns, columns, figsize=(6.4, 2.2 * len(names) / 2 + 0.6),
                                layout="constrained", squeeze=False)
    body = []
    for axes, name in zip(grid.flat, names):
        found = sorted(_rows(record, layer=name), key=lambda row: row["N"])
        sizes = [row["N"] for row in found]
        axes.plot(sizes, [row["ours_s"] for row in found], marker="o", label="our adapter")
        axes.plot(sizes, [row["highs_s"] for row in found], marker="s", label="HiGHS adapter")
        axes.set_title(name, fontsize=9)
        axes.set_xticks(sizes, [str(size) for size in sizes])
        axes.set_ylim(bottom=0)
        axes.set_ylabel("seconds")
        body += [[name, str(row["N"]), f"{row['ours_s']:.3f}", f"{row['highs_s']:.3f}",
                  f"{row['ours_s'] / row['highs_s']:.2f}"] for row in found]
    for axes in list(grid.flat)[len(names):]:
        axes.set_visible(False)
    grid.flat[0].legend(fontsize=8)
    figure.supxlabel("N (the N x N LP: 2N² variables, 2N² rows)", fontsize=9)
    caption = ("Each modelling layer through our adapter and through its own HiGHS adapter: seconds from the layer's "
               "model to the model held by the solver, the best of the rounds ('straight': the module and highspy "
               "called directly).")
    return figure, caption, (["layer", "N", "ours s", "HiGHS s", "ratio"], body)


FIGURES: dict[str, tuple[str, Callable[[dict], tuple[plt.Figure, str, Table]]]] = {
    "input-forms": ("arrays.json", input_forms),
    "list-rows": ("run.json", list_rows),
    "layers": ("layers.json", layers),
    "layers-3.12": ("layers-3.12.json", layers),
}


def _case_label(model: str, size: int) -> str:
    return {"lp": f"2 terms (lp {size})", "wide": f"50 terms (wide {size})"}.get(model, f"{model} {size}")


class BenchmarkFigure(SphinxDirective):
    required_arguments = 1
    has_content = False

    def run(self) -> list[nodes.Node]:
        name = self.arguments[0]
        if name not in FIGURES:
            raise ExtensionError(f"no benchmark figure {name!r}; there are {', '.join(FIGURES)}")
        filename, draw = FIGURES[name]
        source = Path(self.config.benchmark_results) / filename
        self.env.note_dependency(str(source))
        record = json.loads(source.read_text(encoding="utf-8"))
        figure, caption, (header, body) = draw(record)
        out = Path(self.env.app.outdir).parent / "figures"
        out.mkdir(parents=True, exist_ok=True)
        image = out / f"{name}.svg"
        figure.savefig(image, metadata={"Date": None, "Creator": None})
        plt.close(figure)
        # Image paths are taken relative to the page; the figure is outside the sources.
        uri = os.path.relpath(image, Path(self.env.doc2path(self.env.docname)).parent)
        figure_node = nodes.figure("", nodes.image(uri=uri, alt=caption),
                                   nodes.caption("", "", nodes.Text(caption + " "),
                                                 nodes.literal(text=record["command"]),
                                                 nodes.Text(f", {record['date']}.")))
        holder = nodes.container(classes=["benchmark-figure"])
        holder += figure_node
        holder += _table(header, body)
        return [holder]


def _table(header: list[str], body: list[list[str]]) -> nodes.table:
    table = nodes.table(classes=["benchmark-table"])
    group = nodes.tgroup(cols=len(header))
    table += group
    for _ in header:
        group += nodes.colspec(colwidth=1)
    head, rows = nodes.thead(), nodes.tbody()
    head += _row(header)
    for cells in body:
        rows += _row(cells)
    group += head
    group += rows
    return table


def _row(cells: list[str]) -> nodes.row:
    row = nodes.row()
    for text in cells:
        row += nodes.entry("", nodes.paragraph(text=text))
    return row


def setup(app: Sphinx) -> dict:
    app.add_config_value("benchmark_results", "", "env")
    app.add_directive("benchmark-figure", BenchmarkFigure)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
