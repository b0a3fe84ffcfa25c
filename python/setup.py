"""Builds vorla._core with the project's CMake (the engine's own sources, in the folder
above this one) and puts it into the package. Offline on Debian 12:

    python3 -m venv --system-site-packages ~/vorla-env
    ~/vorla-env/bin/pip install --no-build-isolation ./python
"""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        subprocess.check_call(["cmake", "-S", str(HERE.parent), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                               "-DVORLA_TESTS=OFF", "-DVORLA_OCTAVE=OFF", "-DVORLA_MATLAB=OFF",
                               "-DPython_EXECUTABLE=" + sys.executable])
        subprocess.check_call(["cmake", "--build", str(build), "--target", "vorla_python_core",
                               "-j", str(os.cpu_count() or 1)])
        built = next((build / "python" / "vorla").glob("_core*"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(ext_modules=[Extension("vorla._core", sources=[])], cmdclass={"build_ext": CMakeBuild})
