"""QGIS plugin: the GIS's side of the link with the Quillon viewer."""


def classFactory(iface):
    from .plugin import QuillonPlugin
    return QuillonPlugin(iface)
