"""Tests of tools/check_layers.py on small trees: it passes a tree whose
includes point down and fails each kind of upward or sideways include."""
import contextlib
import io
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
import check_layers  # noqa: E402


def make_tree(root, files):
    for folder in check_layers.LAYERS + sorted(check_layers.APART):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    for path, text in files.items():
        with open(os.path.join(root, path), "w", encoding="utf-8") as out:
            out.write(text)


def run(files):
    with tempfile.TemporaryDirectory() as root:
        make_tree(root, files)
        errors = io.StringIO()
        with contextlib.redirect_stderr(errors), contextlib.redirect_stdout(io.StringIO()):
            code = check_layers.main([root])
        return code, errors.getvalue()


class CheckLayersTest(unittest.TestCase):
    def test_downward_and_shared_includes_pass(self):
        code, errors = run({
            "app/a.cpp": '#include "upload/u.h"\n#include "base/b.h"\n#include "webview/navo.h"\n',
            "editor/e.cpp": '#include "pages/p.h"\n#include "resources/resource.h"\n',
            "job/j.h": '#include "image/dib_image.h"\n#include <windows.h>\n',
            "webview/w.cpp": '#include "webview/x.h"\n#include "base/scoped_handle.h"\n',
        })
        self.assertEqual(code, 0, errors)

    def test_each_wrong_include_fails_with_its_file_named(self):
        cases = [
            ("base/b.h", '#include "job/card_job.h"\n'),        # ground floor reaching up
            ("editor/e.cpp", '#include "app/main_window.h"\n'),  # a window reading the shell
            ("job/j.cpp", '  #  include "editor/cut_editor.h"\n'),  # spaced directive
            ("upload/u.cpp", '#include "webview/control_host.h"\n'),  # navo's insides
            ("webview/w.cpp", '#include "net/login.h"\n'),       # navo using the program
        ]
        for path, text in cases:
            with self.subTest(path=path):
                code, errors = run({path: text})
                self.assertEqual(code, 1)
                self.assertIn(path, errors)


if __name__ == "__main__":
    unittest.main()
