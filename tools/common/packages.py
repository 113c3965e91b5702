"""Installs the Debian packages a media generator needs, so that a fresh machine can run it.

Generators call Ensure() before importing anything that comes from those packages (numpy, PIL).
"""

import os
import subprocess
import sys


def Missing(packages: list) -> list:
    missing = []
    for package in packages:
        status = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package], capture_output=True, text=True)
        if "ok installed" not in status.stdout:
            missing.append(package)
    return missing


def Ensure(packages: list) -> None:
    """Installs whichever of `packages` is missing, as root or through sudo; stops the generator on failure."""
    missing = Missing(packages)
    if not missing:
        return
    print("generate: installing " + " ".join(missing), flush=True)
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    environment = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    for command in (["apt-get", "update", "-qq"],
                    ["apt-get", "install", "-y", "-qq", "--no-install-recommends"] + missing):
        if subprocess.run(sudo + command, env=environment).returncode != 0:
            sys.exit("generate: could not install " + " ".join(missing))
