"""QGIS's map canvas and layer tree in a window, with the Quillon plugin drawing a rating the
viewer would have it show, for the README's picture. Prints "ready" once drawn, then waits
for the file STOP to appear. Usage: qgis_window.py PLUGIN_FOLDER SOILS_SHP ARGUMENT STOP"""

import os
import sys
import time

plugins, shapefile, argument, stop = sys.argv[1:5]
sys.path.insert(0, plugins)

from qgis.PyQt.QtCore import Qt  # noqa: E402
from qgis.PyQt.QtWidgets import QDockWidget, QMainWindow  # noqa: E402
from qgis.core import QgsApplication, QgsLayerTreeModel, QgsProject, QgsVectorLayer  # noqa: E402
from qgis.gui import QgsLayerTreeMapCanvasBridge, QgsLayerTreeView, QgsMapCanvas  # noqa: E402

import quillon_link  # noqa: E402
from qgis_interface import Interface  # noqa: E402
from quillon_link import link  # noqa: E402

app = QgsApplication([], True)
app.setPrefixPath("/usr", True)
app.initQgis()
project = QgsProject.instance()
window = QMainWindow()
window.setWindowTitle("QGIS - Quillon")
canvas = QgsMapCanvas()
canvas.setCanvasColor(Qt.white)
window.setCentralWidget(canvas)
bridge = QgsLayerTreeMapCanvasBridge(project.layerTreeRoot(), canvas)
model = QgsLayerTreeModel(project.layerTreeRoot())
model.setFlag(QgsLayerTreeModel.AllowNodeChangeVisibility)
tree = QgsLayerTreeView()
tree.setModel(model)
dock = QDockWidget("Layers")
dock.setWidget(tree)
window.addDockWidget(Qt.LeftDockWidgetArea, dock)
window.resize(1280, 680)

iface = Interface(window, canvas)
plugin = quillon_link.classFactory(iface)
plugin.initGui()
soils = QgsVectorLayer(shapefile, "sample_soils", "ogr")
project.addMapLayer(soils)
iface.setActiveLayer(soils)
plugin.linked = soils.id()  # the layer Start Quillon would link, without a viewer to start
# The call the viewer makes once a rating is stored, as it arrives over the link.
accepted, why = plugin.execute(link.run_command(link.DISPLAY_SCRIPT, argument))
if not accepted:
    print("refused:", why, flush=True)
    os._exit(1)
tree.expandAll()
tree.setCurrentLayer(iface.activeLayer())
dock.setMinimumWidth(360)
window.statusBar().showMessage("Rating layer added by Quillon.DisplayInterps    Coordinate system: " +
                                soils.crs().userFriendlyIdentifier())
window.show()
canvas.setExtent(soils.extent())
canvas.refresh()
drawn = []
canvas.mapCanvasRefreshed.connect(lambda: drawn.append(1))
end = time.monotonic() + 20
while not drawn and time.monotonic() < end:
    app.processEvents()
    time.sleep(0.02)
for _ in range(20):
    app.processEvents()
    time.sleep(0.02)
print("ready" if drawn else "not drawn", flush=True)
while not os.path.exists(stop) and time.monotonic() < end + 30:
    app.processEvents()
    time.sleep(0.05)
plugin.unload()
os._exit(0)
