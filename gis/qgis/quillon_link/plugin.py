"""QGIS as the GIS beside the Quillon viewer: starts the viewer on the active soils layer,
serves its display and clean-up scripts on ArcView|System, tells it through EnableQLNDialog
whether that layer is active, and ends it when QGIS closes."""

import os

from qgis.PyQt.QtCore import QCoreApplication, QTimer
from qgis.PyQt.QtWidgets import QAction
from qgis.core import Qgis, QgsProject, QgsVectorLayer, QgsWkbTypes

from . import link, programs
from .theme import THEME_PROPERTY, make_theme_layer

MENU = "&Quillon"


def shapefile_of(layer):
    """The .shp file a layer reads, or None."""
    if not isinstance(layer, QgsVectorLayer) or layer.providerType() != "ogr":
        return None
    path = layer.source().split("|")[0]
    return path if path.lower().endswith(".shp") and os.path.isfile(path) else None


def attribute_file_of(shapefile):
    """The shapefile's .dbf, as it is spelled in its folder; None when it has none."""
    folder, name = os.path.split(shapefile)
    wanted = os.path.splitext(name)[0].lower() + ".dbf"
    for entry in sorted(os.listdir(folder or ".")):
        if entry.lower() == wanted:
            return entry
    return None


class QuillonPlugin:
    def __init__(self, iface):
        self.iface = iface
        self.action = None
        self.server = None
        self.timer = None
        self.linked = None        # id of the soils layer the viewer was started for
        self.written_enable = None
        self.ended = False
        self.notices = None
        self.canvas = None

    # --- QGIS's plugin interface

    def initGui(self):
        self.action = QAction("Start Quillon", self.iface.mainWindow())
        self.action.setObjectName("cmdStartViewer")
        self.action.triggered.connect(self.start_viewer)
        self.iface.addPluginToMenu(MENU, self.action)
        self.iface.addToolBarIcon(self.action)
        try:
            self.server = link.Server(link.GIS_SERVICE, link.GIS_TOPIC, self.execute)
        except link.LinkError as e:
            self.say(str(e), Qgis.Critical)
        else:
            self.timer = QTimer()
            self.timer.setInterval(50)
            self.timer.timeout.connect(self.server.poll)
            self.timer.start()
        self.iface.currentLayerChanged.connect(self.active_layer_changed)
        QCoreApplication.instance().aboutToQuit.connect(self.end)
        # The viewer takes no input while the map draws, as beside the soils map.
        self.canvas = self.iface.mapCanvas() if hasattr(self.iface, "mapCanvas") else None
        if self.canvas is not None:
            self.notices = link.Notifier(link.VIEWER_SERVICE, link.VIEWER_TOPIC)
            self.canvas.renderStarting.connect(self.drawing_started)
            self.canvas.mapCanvasRefreshed.connect(self.drawing_finished)

    def unload(self):
        self.end()
        if self.canvas is not None:
            self.canvas.renderStarting.disconnect(self.drawing_started)
            self.canvas.mapCanvasRefreshed.disconnect(self.drawing_finished)
        self.iface.currentLayerChanged.disconnect(self.active_layer_changed)
        QCoreApplication.instance().aboutToQuit.disconnect(self.end)
        self.iface.removePluginMenu(MENU, self.action)
        self.iface.removeToolBarIcon(self.action)
        self.action = None

    # --- the link

    def end(self):
        """Tells the viewer to end and stops serving; once, whether QGIS quits or the plugin
        is unloaded first."""
        if self.ended:
            return
        self.ended = True
        if self.timer:
            self.timer.stop()
            self.timer = None
        if self.server:
            self.server.close()
            self.server = None
        if self.notices:
            self.notices.stop()
        try:
            link.execute(link.VIEWER_SERVICE, link.VIEWER_TOPIC, "EXIT", timeout=1.0)
        except link.LinkError:
            pass  # no viewer running, or it is already gone

    def drawing_started(self):
        if not self.ended:
            self.notices.send("DISABLECONTROLS")

    def drawing_finished(self):
        if not self.ended:
            self.notices.send("ENABLECONTROLS")

    def say(self, text, level=Qgis.Warning):
        self.iface.messageBar().pushMessage("Quillon", text, level=level, duration=10)

    def start_viewer(self):
        if link.serves(link.VIEWER_SERVICE, link.VIEWER_TOPIC):
            # One viewer at a time: bring it forward, and say why it may not take input.
            try:
                link.execute(link.VIEWER_SERVICE, link.VIEWER_TOPIC, "SETFOCUS", timeout=2.0)
            except link.LinkError as e:
                self.say(str(e))
            if self.enable_value() == "Y":
                self.say("Quillon is already running; it was brought to the front.", Qgis.Info)
            else:
                self.say("Quillon is already running, disabled: the active layer is not the soils layer it was "
                         "started on. Activate that layer, or close Quillon (File, Exit) to start it on this one.")
            return False
        layer = self.iface.activeLayer()
        shapefile = shapefile_of(layer)
        if layer is None or layer.customProperty(THEME_PROPERTY) or shapefile is None or \
                layer.geometryType() != QgsWkbTypes.PolygonGeometry:
            self.say("Make a soils layer (a polygon shapefile) active to start Quillon on it.")
            return False
        attribute_file = attribute_file_of(shapefile)
        if attribute_file is None:
            self.say("The shapefile %s has no attribute file (.dbf)." % shapefile)
            return False
        if self.linked != layer.id():
            self.cleanup()  # rating layers belong to the layer they were joined to
            self.linked = layer.id()
        self.active_layer_changed(layer)
        try:
            programs.start_viewer(os.path.dirname(shapefile), attribute_file)
        except programs.ProgramError as e:
            self.say(str(e), Qgis.Critical)
            return False
        return True

    def execute(self, command):
        """One script call of the viewer: (accepted, reason)."""
        call = link.parse_run_command(command)
        if call is None:
            return False, 'Not a script call av.run("script", "argument" ): ' + command
        script, argument = call
        if script == link.DISPLAY_SCRIPT:
            try:
                self.display(argument)
            except (ValueError, programs.ProgramError) as e:
                self.say(str(e))
                return False, str(e)
            return True, ""
        if script == link.CLEANUP_SCRIPT:
            self.cleanup()
            return True, ""
        return False, "Unknown script " + script

    def linked_layer(self):
        return QgsProject.instance().mapLayer(self.linked) if self.linked else None

    def theme_layers(self):
        return [l for l in QgsProject.instance().mapLayers().values() if l.customProperty(THEME_PROPERTY)]

    def display(self, argument):
        """Adds the rating column as a layer on top (replacing one of the same title) and
        makes it active. Raises ValueError or ProgramError, leaving the project as it was."""
        column, title, legend = link.parse_display_argument(argument)
        soils = self.linked_layer()
        if soils is None:
            raise ValueError("No soils layer is open to show " + title)
        shapefile = shapefile_of(soils)
        if shapefile is None:
            raise ValueError("The soils layer %s is no longer a shapefile on disk" % soils.name())
        theme = programs.theme(shapefile, argument)
        layer = make_theme_layer(soils, theme)
        project = QgsProject.instance()
        for old in self.theme_layers():
            if old.name() == layer.name():
                project.removeMapLayer(old.id())
        project.addMapLayer(layer, False)
        project.layerTreeRoot().insertLayer(0, layer)
        self.iface.setActiveLayer(layer)
        self.active_layer_changed(layer)

    def cleanup(self):
        project = QgsProject.instance()
        themes = self.theme_layers()
        active = self.iface.activeLayer()
        was_theme = active is not None and active.customProperty(THEME_PROPERTY)
        project.removeMapLayers([l.id() for l in themes])
        # A removed rating layer hands the focus to the soils layer it was joined to.
        if was_theme and self.linked_layer() is not None:
            self.iface.setActiveLayer(self.linked_layer())
        self.active_layer_changed(self.iface.activeLayer())

    def enable_value(self, layer=None):
        """"Y" while the viewer's soils layer or one of its rating layers is active."""
        layer = layer if layer is not None else self.iface.activeLayer()
        if layer is None or self.linked is None or self.linked_layer() is None:
            return "N"
        return "Y" if layer.id() == self.linked or layer.customProperty(THEME_PROPERTY) else "N"

    def active_layer_changed(self, layer):
        value = self.enable_value(layer)
        if value == self.written_enable:
            return
        try:
            programs.write_enable(value)
            self.written_enable = value
        except programs.ProgramError as e:
            self.say("Cannot tell the viewer the active layer: " + str(e))
