"""The Quillon programs the plugin runs: the viewer, and the soils map's code for themes and
the handshake value, so that QGIS draws exactly the classes the map would."""

import json
import os
import shutil
import subprocess


def program(name):
    """QUILLON_BIN_DIR/name when that is set, else name on PATH, else /usr/bin/name."""
    folder = os.environ.get("QUILLON_BIN_DIR")
    if folder:
        return os.path.join(folder, name)
    return shutil.which(name) or os.path.join("/usr/bin", name)


def viewer_program():
    return os.environ.get("QUILLON_VIEWER") or program("quillon")


class ProgramError(Exception):
    pass


def _run(arguments, timeout):
    try:
        done = subprocess.run(arguments, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=timeout)
    except FileNotFoundError:
        raise ProgramError("The program %s is not there" % arguments[0])
    except subprocess.TimeoutExpired:
        raise ProgramError("%s did not answer within %d s" % (arguments[0], timeout))
    if done.returncode != 0:
        why = done.stderr.decode("utf-8", "replace").strip() or "exit status %d" % done.returncode
        raise ProgramError(why.replace("quillon-map: ", "", 1))
    return done.stdout


def theme(shapefile, argument, results=None):
    """The theme the map would draw for a display argument on the soils shapefile."""
    arguments = [program("quillon-map"), "--print-theme", argument, shapefile]
    if results:
        arguments[1:1] = ["--results", results]
    return json.loads(_run(arguments, 60).decode("utf-8"))


def write_enable(value):
    _run([program("quillon-map"), "--write-enable", value], 10)


def start_viewer(folder, attribute_file):
    """Starts the viewer with the quoted "folder|attribute file" argument, on its own."""
    viewer = viewer_program()
    if not (os.path.isfile(viewer) and os.access(viewer, os.X_OK)):
        raise ProgramError("The viewer program %s is not there or cannot be run." % viewer)
    try:
        subprocess.Popen([viewer, '"%s|%s"' % (folder, attribute_file)], stdin=subprocess.DEVNULL,
                         start_new_session=True)
    except OSError as e:
        raise ProgramError("The viewer program %s could not be started: %s" % (viewer, e.strerror))
