// The tools an agent sees: names, what they do, and the JSON schemas of their input and output.
#include "shared/mcp/GridTools.h"

#include "core/GridState.h"

#include <QJsonDocument>

#include <string>

namespace tavelin::shared::mcp {

namespace {

QJsonObject schema(const char* json) { return QJsonDocument::fromJson(json).object(); }

const char* rectSchema = R"json({"type":"object","properties":{"x":{"type":"integer"},"y":{"type":"integer"},
  "width":{"type":"integer"},"height":{"type":"integer"}},"required":["x","y","width","height"]})json";

QJsonObject stateSchema()
{
    auto state = schema(R"json({"type":"object","properties":{
      "visible":{"type":"boolean"},"labels":{"type":"boolean"},"adjusting":{"type":"boolean"},
      "picking":{"type":"boolean"},
      "target":{"type":"object","description":"{\"screen\": name} or {\"window\": window id}"},
      "cellWidth":{"type":"number","description":"points"},"cellHeight":{"type":"number","description":"points"},
      "color":{"type":"string"},"scale":{"type":"number","description":"root pixels per point"},
      "columns":{"type":"integer"},"rows":{"type":"integer"}},
      "required":["visible","labels","target","cellWidth","cellHeight","color","frame","scale","columns","rows"]})json");
    auto properties = state.value("properties").toObject();
    properties.insert("frame", schema(rectSchema));
    state.insert("properties", properties);
    return state;
}

std::string colorsDescription()
{
    std::string text = "Changes the grid; give only what should change. Returns the new state. Colours:";
    for (auto color : core::allGridColors)
        text.append(" ").append(core::rawValue(color));
    return text + ".";
}

QJsonObject tool(const char* name, const char* title, const char* description, QJsonObject input, QJsonObject output)
{
    return { { "name", name }, { "title", title }, { "description", description }, { "inputSchema", input },
        { "outputSchema", output } };
}

}

QJsonArray GridTools::definitions() const
{
    auto placeOutput = schema(R"json({"type":"object","properties":{"cell":{"type":"string"},
      "x":{"type":"integer"},"y":{"type":"integer"}},"required":["cell","x","y"]})json");
    auto placeProperties = placeOutput.value("properties").toObject();
    placeProperties.insert("rect", schema(rectSchema));
    placeOutput.insert("properties", placeProperties);

    auto shotOutput = schema(R"json({"type":"object","properties":{
      "image":{"type":"object","properties":{"width":{"type":"integer"},"height":{"type":"integer"},
        "scale":{"type":"number","description":"image pixels per root pixel (below 1 when max_width shrank it)"}}},
      "scale":{"type":"number","description":"root pixels per point"},
      "cell":{"type":"object","description":"one cell's size in root pixels",
        "properties":{"width":{"type":"number"},"height":{"type":"number"}}},
      "first_cell":{"type":"object","description":"top-left root pixel of cell A1",
        "properties":{"x":{"type":"integer"},"y":{"type":"integer"}}},
      "bands":{"type":"object","description":"ruler bands in root pixels: the left one's width, the top one's height (with the clear strip above it)",
        "properties":{"left":{"type":"integer"},"top":{"type":"integer"}}},
      "columns":{"type":"integer"},"rows":{"type":"integer"},"target":{"type":"object"}},
      "required":["image","frame","scale","cell","columns","rows"]})json");
    auto shotProperties = shotOutput.value("properties").toObject();
    shotProperties.insert("frame", schema(rectSchema));
    shotOutput.insert("properties", shotProperties);

    return {
        tool("screenshot", "Screenshot with the grid",
            "A screenshot of the screen (or of the window the grid follows) with Tavelin's grid on it: columns "
            "are letters, rows are numbers, every whole cell named (A1, B1, …) unless labels is false. Starts "
            "Tavelin if it is not running, so a grid appears on the user's screen. Nothing is saved or copied. "
            "With it comes the grid's geometry in root-window pixels, so any cell maps to a point; "
            "cell_to_point does that for you.",
            schema(R"json({"type":"object","properties":{
              "labels":{"type":"boolean","default":true,"description":"draw the cell names"},
              "max_width":{"type":"integer","minimum":16,"description":"scale the image down to at most this many pixels wide"}},
              "additionalProperties":false})json"),
            shotOutput),
        tool("cell_to_point", "Cell to point",
            "The root-window pixel of a cell by its name as the grid shows it (\"C4\", any letter case): its "
            "centre, or a corner. These are the coordinates to click, e.g. with xdotool.",
            schema(R"json({"type":"object","properties":{
              "cell":{"type":"string","description":"e.g. C4"},
              "position":{"type":"string","enum":["center","top-left","top-right","bottom-left","bottom-right"],"default":"center"}},
              "required":["cell"],"additionalProperties":false})json"),
            placeOutput),
        tool("point_to_cell", "Point to cell",
            "The name of the cell under a root-window pixel, or an error saying why there is none there (a ruler "
            "band, a partial cell at the edge, outside the grid).",
            schema(R"json({"type":"object","properties":{"x":{"type":"integer"},"y":{"type":"integer"}},
              "required":["x","y"],"additionalProperties":false})json"),
            placeOutput),
        tool("get_grid", "Grid state", "The grid's state: shown or not, cell names, cell size, colour, the screen or window it covers, its frame in root pixels, the scale, columns and rows.",
            schema(R"json({"type":"object","properties":{},"additionalProperties":false})json"), stateSchema()),
        tool("set_grid", "Change the grid",
            colorsDescription().c_str(),
            schema(R"json({"type":"object","properties":{
              "visible":{"type":"boolean"},"labels":{"type":"boolean"},
              "cell_width":{"type":"number","minimum":20,"maximum":400,"description":"points"},
              "cell_height":{"type":"number","minimum":20,"maximum":400,"description":"points; defaults to cell_width"},
              "color":{"type":"string"},
              "screen":{"type":"string","description":"an output name: the full-screen grid moves there"},
              "window":{"type":"integer","description":"the window the grid follows: its X11 window id; on sway its con_id, on Hyprland its address's low 32 bits"},
              "full_screen":{"type":"boolean","description":"true: back to the whole screen"}},
              "additionalProperties":false})json"),
            stateSchema()),
    };
}

}
