"""Builds the Python package tessera with its cffi extension.

    pip install --no-build-isolation ./python

needs python3-setuptools, python3-cffi and python3-dev, and the library's
header and shared library (libtessera-dev, or a build tree: see README.md)."""

import os
import sys

from setuptools import setup

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tessera_build import header_version  # noqa: E402

setup(
    name="tessera",
    version=header_version(),
    description="Python interface of libtessera, the client library of the local PKI service",
    packages=["tessera"],
    package_data={"tessera": ["py.typed"]},
    python_requires=">=3.11",
    setup_requires=["cffi>=1.15"],
    install_requires=["cffi>=1.15"],
    cffi_modules=["tessera_build.py:ffibuilder"],
    zip_safe=False,
)
