"""A rating theme as a QGIS layer: the soils polygons with the rating of their map unit
joined by mukey, drawn by rules made from the map's legend entries in their order, so each
polygon takes the class the map gives it."""

from qgis.PyQt.QtCore import QVariant
from qgis.PyQt.QtGui import QColor
from qgis.core import (QgsFeature, QgsField, QgsFillSymbol, QgsRuleBasedRenderer,
                       QgsVectorLayer, QgsWkbTypes, NULL)

# Marks the layers made here, so clean-up finds them and leaves the user's own alone.
THEME_PROPERTY = "quillon/rating-theme"


def key_field(layer):
    """The index of the layer's mukey field (any letter case), or -1."""
    for i, field in enumerate(layer.fields()):
        if field.name().lower() == "mukey":
            return i
    return -1


def unit_key(value):
    """A map unit's key as the map reads it from the attribute file."""
    if value is None or value == NULL:
        return ""
    if isinstance(value, float) and value.is_integer():
        value = int(value)
    return str(value).rstrip(" \r\n")


def _number(value):
    """A bound as the expression language reads it back exactly."""
    return repr(float(value))


def _quoted(text):
    return "'" + text.replace("'", "''") + "'"


def numeric_field(theme):
    """The rating is kept as a number when the legend has no class of texts and every rating
    reads as a number; classes compare the rating's text, so they keep the text."""
    if any(e["kind"] == "class" for e in theme["entries"]):
        return False
    return all(v is None or v[1] is not None for v in theme["values"].values())


def rule_expression(entry, field, numeric):
    """The filter of one legend entry; None for "other values", the rule of what no other
    rule takes."""
    column = '"%s"' % field.replace('"', '""')
    kind = entry["kind"]
    if kind == "nodata":
        return "%s IS NULL" % column
    if kind == "class":
        return "%s = %s" % (column, _quoted(entry["value"]))
    if kind == "range":
        value = column if numeric else "to_real(%s)" % column
        terms = []
        if entry["low"] is not None:
            terms.append("%s >= %s" % (value, _number(entry["low"])))
        if entry["high"] is not None:
            terms.append("%s %s %s" % (value, "<=" if entry["highInclusive"] else "<", _number(entry["high"])))
        # Either bound open: every number on that side; still no Null.
        return " AND ".join(terms) if terms else "%s IS NOT NULL" % value
    return None


def make_renderer(theme, field, numeric):
    root = QgsRuleBasedRenderer.Rule(None)
    for entry in theme["entries"]:
        symbol = QgsFillSymbol.createSimple({"color": QColor(entry["colour"]).name(),
                                             "outline_color": "#555555", "outline_width": "0.1"})
        expression = rule_expression(entry, field, numeric)
        rule = QgsRuleBasedRenderer.Rule(symbol, 0, 0, expression or "", entry["label"])
        if expression is None:
            rule.setIsElse(True)
        root.appendChild(rule)
    return QgsRuleBasedRenderer(root)


def make_theme_layer(soils, theme):
    """A memory layer of the soils polygons with the rating column theme["column"] and the
    theme's renderer. Raises ValueError when the soils layer has no mukey field."""
    key = key_field(soils)
    if key < 0:
        raise ValueError("The soils layer %s has no mukey field: map units cannot be joined" % soils.name())
    column = theme["column"]
    numeric = numeric_field(theme)
    geometry = QgsWkbTypes.displayString(soils.wkbType())
    layer = QgsVectorLayer("%s?crs=%s" % (geometry, soils.crs().authid() or "EPSG:4326"), theme["title"], "memory")
    if not soils.crs().authid():
        layer.setCrs(soils.crs())
    kept = [f for f in soils.fields() if f.name().lower() != column.lower()]
    provider = layer.dataProvider()
    provider.addAttributes(kept + [QgsField(column, QVariant.Double if numeric else QVariant.String)])
    layer.updateFields()
    values = theme["values"]
    features = []
    for source in soils.getFeatures():
        rating = values.get(unit_key(source.attribute(key)))
        feature = QgsFeature(layer.fields())
        feature.setGeometry(source.geometry())
        attributes = [source.attribute(f.name()) for f in kept]
        if rating is None:
            attributes.append(NULL)
        else:
            attributes.append(float(rating[1]) if numeric else rating[0])
        feature.setAttributes(attributes)
        features.append(feature)
    provider.addFeatures(features)
    layer.updateExtents()
    layer.setRenderer(make_renderer(theme, column, numeric))
    layer.setCustomProperty(THEME_PROPERTY, True)
    return layer
