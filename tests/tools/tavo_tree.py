"""What the test harnesses, hosts and demo scripts share about a build tree:
its programs (test-programs.env, written by CMake), Windows paths through
Wine's Z: drive, and an environment without simulated-platform or test-hook
settings."""

import os
import pathlib


def windows_path(path):
    """The Windows form of a Unix path, through Wine's Z: drive."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def read_programs(tree, name="test-programs.env"):
    """The tree's programs by name, from its test-programs.env (or another such file)."""
    values = {}
    for line in (pathlib.Path(tree) / name).read_text().splitlines():
        key, _, value = line.partition("=")
        values[key] = value.strip("'")
    return values


def clean_environment(extra=None):
    """This process's environment without simulated-platform or hook settings, plus `extra`."""
    # The user's language is the test's to choose (Wine takes it from these):
    # English unless a test asks, whatever this machine's locale, and UTF-8
    # file names either way.
    environment = {k: v for k, v in os.environ.items()
                   if not k.startswith(("TAVO_SIM_", "TAVO_TEST_HOOK", "LC_")) and k != "LANGUAGE"}
    environment["LANG"] = "C.UTF-8"
    environment.update(extra or {})
    return environment
