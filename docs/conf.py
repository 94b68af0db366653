"""Sphinx configuration of the VELTRIX documentation.

The reference is generated from the installed package's docstrings (numpy style, read by napoleon).
The build fails, under ``-W``, when a public name has no entry in the reference; see
`check_reference` below.
"""

from __future__ import annotations

import ast
import importlib.metadata
import re
from pathlib import Path
from typing import Any

from docutils import nodes
from sphinx.application import Sphinx
from sphinx.util import logging
from sphinx.util.docutils import SphinxDirective

logger = logging.getLogger(__name__)

project = "VELTRIX"
author = "the VELTRIX developers"
copyright = "the VELTRIX developers"
release = importlib.metadata.version("veltrix")
version = release

extensions = [
    "sphinx.ext.autodoc",
    "sphinx.ext.autosummary",
    "sphinx.ext.napoleon",
]

html_theme = "furo"
html_title = f"VELTRIX {release}"
exclude_patterns = ["_build"]

# Single backticks in docstrings name Python objects (`CSRGraph`, `parallel_pagerank`), as numpy
# style writes them; a name that resolves nowhere stays plain code.
default_role = "py:obj"

napoleon_google_docstring = False
napoleon_numpy_docstring = True
napoleon_use_rtype = False

autodoc_member_order = "bysource"
# The docstrings' Parameters and Returns sections say the types in words; the annotations,
# expanded, would bury the signatures (numpy's ArrayLike alone fills a screen).
autodoc_typehints = "none"
# veltrix.spark needs pyspark at import; its reference is built without it.
autodoc_mock_imports = ["pyspark"]
autosummary_generate = False

# pybind11 writes the parameter types of the native functions as the protocols it accepts.
_NATIVE_TYPES = [
    (re.compile(r"typing\.SupportsInt \| typing\.SupportsIndex"), "int"),
    (re.compile(r"typing\.SupportsFloat \| typing\.SupportsIndex"), "float"),
    (re.compile(r"\b_veltrix\."), ""),
]


def tidy_native_signature(
    app: Sphinx,
    what: str,
    name: str,
    obj: Any,
    options: Any,
    signature: str | None,
    annotation: str | None,
) -> tuple[str | None, str | None] | None:
    """Shorten the signatures pybind11 writes into the native functions' docstrings."""
    if getattr(obj, "__module__", None) != "_veltrix" or signature is None:
        return None
    for pattern, text in _NATIVE_TYPES:
        signature = pattern.sub(text, signature)
        annotation = pattern.sub(text, annotation) if annotation else annotation
    return signature, annotation


def _public_names(path: Path) -> list[str]:
    """The ``__all__`` of a module file, read without importing it (veltrix.spark needs pyspark)."""
    for node in ast.parse(path.read_text()).body:
        if isinstance(node, ast.Assign) and any(
            getattr(t, "id", None) == "__all__" for t in node.targets
        ):
            return list(ast.literal_eval(node.value))
    raise ValueError(f"{path} has no __all__")


def _expected_entries() -> list[str]:
    import veltrix

    package = Path(veltrix.__file__).parent
    expected = [f"veltrix.{name}" for name in veltrix.__all__]
    expected += [
        f"veltrix.spark.{name}" for name in _public_names(package / "spark" / "__init__.py")
    ]
    expected += [f"veltrix.generators.{name}" for name in _public_names(package / "generators.py")]
    for cls in (veltrix.Graph, veltrix.WeightedGraph, veltrix.CSRGraph):
        expected += [f"veltrix.{cls.__name__}.{m}" for m in vars(cls) if not m.startswith("_")]
    return expected


def check_reference(app: Sphinx, env: Any) -> None:
    """Warn (an error under -W) for every public name the reference does not document."""
    documented = set(env.get_domain("py").objects)
    for name in _expected_entries():
        if name not in documented:
            logger.warning("the API reference has no entry for %s", name)


class ServedFunctions(SphinxDirective):
    """A table of the networkx functions the backend serves, with the notes networkx shows.

    Read from the backend's own description, so the page cannot fall behind what it serves.
    """

    def run(self) -> list[nodes.Node]:
        from _nx_veltrix import get_info

        rows = nodes.tbody()
        for name, info in get_info()["functions"].items():
            row = nodes.row()
            for text in (nodes.literal(text=name), nodes.Text(info["additional_docs"])):
                row += nodes.entry("", nodes.paragraph("", "", text))
            rows += row
        group = nodes.tgroup(cols=2)
        group += [nodes.colspec(colwidth=30), nodes.colspec(colwidth=70)]
        head = nodes.row()
        for title in ("function", "notes"):
            head += nodes.entry("", nodes.paragraph(text=title))
        group += nodes.thead("", head)
        group += rows
        return [nodes.table("", group)]


def setup(app: Sphinx) -> None:
    app.add_directive("veltrix-served-functions", ServedFunctions)
    app.connect("autodoc-process-signature", tidy_native_signature)
    app.connect("env-check-consistency", check_reference)
