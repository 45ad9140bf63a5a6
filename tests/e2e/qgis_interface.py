"""What the plugin uses of QGIS's interface, for a QGIS application without its main
window: the active layer with its signal, a message bar that prints, the menu and toolbar,
the map canvas when there is one."""

from qgis.PyQt.QtCore import QObject, pyqtSignal
from qgis.core import QgsMapLayer


class MessageBar:
    def __init__(self):
        self.messages = []

    def pushMessage(self, title, text, level=0, duration=0):
        self.messages.append(text)
        print("message:", text, flush=True)


class Interface(QObject):
    currentLayerChanged = pyqtSignal(QgsMapLayer)

    def __init__(self, window=None, canvas=None):
        super().__init__()
        self.active = None
        self.window = window
        self.canvas = canvas
        self.bar = MessageBar()

    def mainWindow(self):
        return self.window

    def mapCanvas(self):
        return self.canvas

    def messageBar(self):
        return self.bar

    def activeLayer(self):
        return self.active

    def setActiveLayer(self, layer):
        self.active = layer
        self.currentLayerChanged.emit(layer)
        return True

    def addPluginToMenu(self, menu, action):
        pass

    def removePluginMenu(self, menu, action):
        pass

    def addToolBarIcon(self, action):
        if self.window is not None:
            self.window.addToolBar("Plugins").addAction(action)

    def removeToolBarIcon(self, action):
        pass
