"""A private CUPS scheduler with one PDF queue for the scenarios that print (zv_e2e_cups, built beside the tests and
named by ZV_E2E_CUPS), and reading the printed PDF back with poppler's pdftotext."""

import os
import shutil
import subprocess
from pathlib import Path

from .game import Failure


class PrintServer:
    def __init__(self, queue: str = "Zvonkary_PDF"):
        helper = os.environ.get("ZV_E2E_CUPS")
        if not helper or not Path(helper).exists():
            raise Failure("ZV_E2E_CUPS does not name the zv_e2e_cups helper (built in tests/e2e of the build)")
        self.queue = queue
        self.process = subprocess.Popen([helper, queue], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.values = {}
        for line in self.process.stdout:
            key, _, value = line.rstrip("\n").partition(" ")
            if key == "ready":
                break
            if key == "error":
                self.Close()
                raise Failure(f"the private CUPS scheduler does not start (Debian packages cups, cups-filters): "
                              f"{value}")
            self.values[key] = value
        if "output" not in self.values:
            self.Close()
            raise Failure("the private CUPS scheduler gave no output path")

    @property
    def output(self) -> Path:
        return Path(self.values["output"])

    def Environment(self) -> dict:
        """What the program's CUPS client needs to reach this scheduler only."""
        return {"CUPS_SERVER": self.values["server"], "CUPS_SERVERROOT": self.values["serverroot"]}

    def _Ask(self, command: str) -> list:
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        lines = []
        for line in self.process.stdout:
            line = line.rstrip("\n")
            lines.append(line)
            if command != "jobs" or line == "end":
                break
        return lines

    def WaitUntilIdle(self) -> bool:
        return self._Ask("idle") == ["idle"]

    def FinishedJobs(self) -> list:
        return [line.split(" ", 2)[2] for line in self._Ask("jobs") if line.startswith("job ")]

    def Close(self) -> None:
        if self.process.poll() is None:
            self.process.stdin.close()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def PdfText(path: Path) -> str:
    if shutil.which("pdftotext") is None:
        raise Failure("pdftotext is not installed (Debian package poppler-utils)")
    out = subprocess.run(["pdftotext", "-layout", str(path), "-"], capture_output=True, text=True, timeout=60)
    if out.returncode != 0:
        raise Failure(f"pdftotext cannot read {path}: {out.stderr}")
    return out.stdout
