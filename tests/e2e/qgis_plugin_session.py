"""The QGIS side of qgis_plugin.sh: QGIS offscreen with the plugin found and started as QGIS
starts its plugins; the plugin starts the real viewer, which is worked through its test driver.
Prints "qgis session: ok" last.
Usage: qgis_plugin_session.py PLUGIN_FOLDER SOILS_SHP RESULTS_DB WORK_DIR"""

import os
import sqlite3
import subprocess
import sys
import time

plugins, shapefile, results, work = sys.argv[1:5]
sys.path.insert(0, plugins)

from qgis.PyQt.QtCore import QTimer  # noqa: E402
from qgis.core import QgsApplication, QgsProject, QgsRenderContext, QgsVectorLayer, NULL  # noqa: E402

import qgis.utils  # noqa: E402
from qgis_interface import Interface  # noqa: E402
from quillon_link import link, programs  # noqa: E402

BIN = os.environ["QUILLON_BIN_DIR"]


def fail(why):
    print("qgis session: FAIL:", why, flush=True)
    os._exit(1)


def spin_until(what, predicate, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        QgsApplication.processEvents()
        if predicate():
            return
        time.sleep(0.02)
    fail(what)


def driver(command, seconds=20):
    """One driver command, with QGIS serving the viewer's script calls meanwhile."""
    p = subprocess.Popen([os.path.join(BIN, "quillon-dde"), "--timeout", "10000", "QuillonTest", "driver", command],
                         stderr=subprocess.PIPE)
    spin_until("the driver did not answer " + command, lambda: p.poll() is not None, seconds)
    return p.returncode, p.stderr.read().decode()


def enable_value():
    """EnableQLNDialog as the registry holds it: the value file's last byte."""
    root = os.environ["QUILLON_REGISTRY_ROOT"]
    for folder, _, files in os.walk(root):
        for name in files:
            data = open(os.path.join(folder, name), "rb").read()
            if b"EnableQLNDialog" in data:
                return data[-1:].decode()
    return None


def viewer_caption():
    """The viewer's window title as its process publishes it for the instance checks."""
    folder = os.path.join(os.environ["XDG_RUNTIME_DIR"], "quillon-desktop", "windows")
    for name in os.listdir(folder) if os.path.isdir(folder) else []:
        try:
            text = open(os.path.join(folder, name), encoding="utf-8").read()
        except OSError:
            continue
        title = text[text.rfind("title ") + 6:] if "title " in text else ""
        if title.startswith("Quillon"):
            return title
    return None


def plain(value):
    return None if value == NULL else value


app = QgsApplication([], False)
app.setPrefixPath("/usr", True)
app.initQgis()
# Found, read and started as QGIS does with the plugins of its plugin folders.
iface = Interface()
qgis.utils.iface = iface
qgis.utils.plugin_paths = [plugins]
qgis.utils.updateAvailablePlugins()
if qgis.utils.pluginMetadata("quillon_link", "name") != "Quillon":
    fail("QGIS does not list the plugin: %s" % qgis.utils.available_plugins)
if not (qgis.utils.loadPlugin("quillon_link") and qgis.utils.startPlugin("quillon_link")):
    fail("QGIS cannot start the plugin")
plugin = qgis.utils.plugins["quillon_link"]
project = QgsProject.instance()
soils = QgsVectorLayer(shapefile, "sample_soils", "ogr")
if not soils.isValid():
    fail("QGIS cannot read " + shapefile)
project.addMapLayer(soils)
other = QgsVectorLayer("Point?crs=EPSG:4326", "notes", "memory")
project.addMapLayer(other)
iface.setActiveLayer(soils)

# Start Quillon on the active soils layer; the plugin tells the viewer it is active.
if not plugin.start_viewer():
    fail("Start Quillon: %s" % iface.bar.messages)
spin_until("the viewer did not come up", lambda: link.serves("QuillonTest", "driver"), 30)
if enable_value() != "Y":
    fail("EnableQLNDialog is %r with the soils layer active" % enable_value())
# Another layer active disables the viewer; the soils layer again enables it.
iface.setActiveLayer(other)
spin_until("the viewer is %r with another layer active" % viewer_caption(),
           lambda: viewer_caption() == "Quillon - Disabled", 10)
iface.setActiveLayer(soils)
spin_until("the viewer is %r with the soils layer active" % viewer_caption(),
           lambda: viewer_caption() == "Quillon", 10)

# The viewer's process button: the plugin receives the display script and adds the layer.
calls = []
handler = plugin.server.handler
plugin.server.handler = lambda command: calls.append(command) or handler(command)
column = "QGIS_DWB"
status, why = driver("RUN INT_DWB|%s|10" % column)
if status != 0:
    fail("the process button: " + why)
spin_until("the run did not end", lambda: driver("IDLE")[0] == 0, 30)
spin_until("no rating layer was added", lambda: plugin.theme_layers(), 10)
themes = plugin.theme_layers()
if len(themes) != 1 or iface.activeLayer() is not themes[0]:
    fail("rating layers %s, active %s" % ([t.name() for t in themes], iface.activeLayer().name()))
theme = themes[0]
if enable_value() != "Y":
    fail("EnableQLNDialog is %r with the rating layer active" % enable_value())

# One feature per polygon, each with its map unit's rating of MU_Data, Null where it has none.
if theme.featureCount() != soils.featureCount():
    fail("%d features for %d polygons" % (theme.featureCount(), soils.featureCount()))
with sqlite3.connect(results) as db:
    stored = dict(db.execute("SELECT mukey, %s FROM MU_Data" % column))
joined = [(plain(f["mukey"]), plain(f[column])) for f in theme.getFeatures()]
wrong = [(k, v) for k, v in joined if v != stored.get(k)]
if wrong:
    fail("joined values differ from MU_Data: %s" % wrong[:5])
if not any(v is None for _, v in joined) or all(v is None for _, v in joined):
    fail("the sample should give rated and unrated polygons")

# The renderer's classes and the polygons each takes are those of the soils map's theme.
def check_classes(layer, argument):
    expected = programs.theme(shapefile, argument, results)
    renderer = layer.renderer()
    rules = renderer.rootRule().children()
    have = [(r.label(), r.symbol().color().name()) for r in rules]
    want = [(e["label"], e["colour"]) for e in expected["entries"]]
    if have != want:
        fail("%s: renderer classes %s, the map's %s" % (argument, have, want))
    context = QgsRenderContext()
    renderer.startRender(context, layer.fields())
    counts = {r.ruleKey(): 0 for r in rules}
    for feature in layer.getFeatures():
        keys = renderer.legendKeysForFeature(feature, context) - {renderer.rootRule().ruleKey()}
        if len(keys) != 1:
            fail("%s: feature %d takes %d classes" % (argument, feature.id(), len(keys)))
        counts[next(iter(keys))] += 1
    renderer.stopRender(context)
    summary = '"%s" from %s:' % (layer.name(), expected["column"]) + ";".join(
        " %s (%d)" % (r.label(), counts[r.ruleKey()]) for r in rules)
    if summary != expected["summary"]:
        fail("QGIS draws %s; the map %s" % (summary, expected["summary"]))


display = [c for c in calls if c.startswith('av.run("Quillon.DisplayInterps"')]
if len(display) != 1:
    fail("display calls: %s" % calls)
check_classes(theme, link.parse_run_command(display[0])[1])

# Every bundled legend and both kinds of classes of its own, on ratings that sit on each
# bound, just either side of it, match no class, or are Null.
legends = os.path.join(os.path.dirname(os.path.dirname(shapefile)), "legends")
keys = sorted(stored)


def candidates(legend):
    numbers, texts = [None], [None, "no such class"]
    for line in open(legend):
        f = [x.strip() for x in line.split("|")]
        if f[0] == "range":
            for bound in f[1:3]:
                if bound:
                    numbers += [float(bound), float(bound) - 0.001, float(bound) + 0.001]
        elif f[0] == "class":
            texts.append(f[1])
    return numbers if len(numbers) > 1 else texts


cases = [(os.path.join(legends, n), candidates(os.path.join(legends, n)))
         for n in sorted(os.listdir(legends)) if n.endswith(".avl")]
cases += [("DYNAMIC", candidates(os.path.join(legends, "awc.avl"))),
          ("DYNAMIC", candidates(os.path.join(legends, "capability_class.avl")))]
with sqlite3.connect(results) as db:
    for i, (_, values) in enumerate(cases):
        db.execute("ALTER TABLE MU_Data ADD COLUMN T_%d" % i)
        db.executemany("UPDATE MU_Data SET T_%d = ? WHERE mukey = ?" % i,
                       [(values[k % len(values)], key) for k, key in enumerate(keys)])
for i, (legend, _) in enumerate(cases):
    argument = "T_%d|Case %d|%s" % (i, i, legend)
    accepted, why = plugin.execute(link.run_command(link.DISPLAY_SCRIPT, argument))
    if not accepted:
        fail("%s refused: %s" % (argument, why))
    layer = [t for t in plugin.theme_layers() if t.name() == "Case %d" % i][0]
    check_classes(layer, argument)
    del layer

# Delete Temporary Themes: the rating layer goes, the soils layer is active again.
status, why = driver("RESET")
if status != 0:
    fail("Delete Temporary Themes: " + why)
spin_until("the rating layer stayed", lambda: not plugin.theme_layers(), 10)
if iface.activeLayer() is not soils or project.mapLayer(soils.id()) is None:
    fail("the soils layer is not active after the clean-up")

# Quitting QGIS ends the viewer.
viewer_pid = int(open(os.path.join(work, "viewer.pid")).read())
QTimer.singleShot(0, app.quit)
app.exec_()
if not plugin.ended:
    fail("the plugin did not see QGIS quit")


def viewer_gone():
    try:
        os.kill(viewer_pid, 0)
        return False
    except ProcessLookupError:
        return True


status_file = os.path.join(work, "viewer.status")
spin_until("the viewer did not end with QGIS", lambda: viewer_gone() and os.path.exists(status_file), 15)
status = open(status_file).read().strip()
if status != "0":
    fail("the viewer ended with status " + status)
if not qgis.utils.unloadPlugin("quillon_link"):
    fail("QGIS cannot unload the plugin")
del theme, themes, soils, other
project.clear()
app.exitQgis()
print("qgis session: ok", flush=True)
os._exit(0)
