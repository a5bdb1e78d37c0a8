// The script commands: each checks its arguments, then runs the same AppDelegate command as the menu.
#include "core/CommandSet.h"

#include "core/AppDelegate.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tavelin::core {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

CommandError badArgument(std::string message) { return { CommandError::Kind::badArgument, std::move(message) }; }
CommandError notFound(std::string message) { return { CommandError::Kind::notFound, std::move(message) }; }
CommandError failed(std::string message) { return { CommandError::Kind::failed, std::move(message) }; }

std::string hexId(uint32_t id)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", id);
    return text;
}

// Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on a literal + a temporary string.
std::string quoted(std::string_view text)
{
    std::string out(1, '"');
    out.append(clipped(text)).push_back('"');
    return out;
}

Outcome<> done() { return Outcome<>(std::monostate {}); }

bool wanted(Switch s, bool now) { return s == Switch::toggle ? !now : s == Switch::on; }

}

std::optional<Switch> parseSwitch(std::string_view word)
{
    if (equalsIgnoringCase(word, "on"))
        return Switch::on;
    if (equalsIgnoringCase(word, "off"))
        return Switch::off;
    if (equalsIgnoringCase(word, "toggle"))
        return Switch::toggle;
    return std::nullopt;
}

std::optional<GridColor> gridColorNamed(std::string_view name)
{
    for (auto color : allGridColors) {
        if (equalsIgnoringCase(name, rawValue(color)))
            return color;
    }
    return std::nullopt;
}

std::optional<uint32_t> parseWindowId(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : base == 16 && std::isxdigit(static_cast<unsigned char>(c)) ? std::tolower(c) - 'a' + 10
                                                                           : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * uint64_t(base) + uint64_t(digit);
    }
    if (value == 0 || value > 0xFFFFFFFFu)
        return std::nullopt;
    return uint32_t(value);
}

bool isCellSize(double points) { return points >= GridState::minCellSize && points <= GridState::maxCellSize; }

std::string outsideCellSizes(std::string_view shown)
{
    char range[48];
    std::snprintf(range, sizeof range, " is outside %g to %g points", GridState::minCellSize, GridState::maxCellSize);
    return std::string(shown) + range;
}

std::string noSuchColour(std::string_view shown)
{
    std::string names;
    for (auto c : allGridColors)
        names += (names.empty() ? "" : ", ") + std::string(rawValue(c));
    return "no colour " + std::string(shown) + "; the colours are " + names;
}

std::string notACellName(std::string_view shown)
{
    return std::string(shown) + " is not a cell name: a column's letters, then a row number, as C4";
}

std::string clipped(std::string_view text)
{
    constexpr size_t longest = 80, kept = 60;
    if (text.size() <= longest)
        return std::string(text);
    // Cut before a character, never inside one's UTF-8 bytes.
    size_t end = kept;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end)) + "\u2026";
}

CommandSet::CommandSet(AppDelegate& app, Platform& platform)
    : m_app(app)
    , m_platform(platform)
{
    // Subscribers hear of a write before it is stored: look at the state on a later turn.
    m_subscription = m_app.gridState().subscribe([this] { scheduleCheck(); });
    m_app.setChangeHandler([this] { scheduleCheck(); });
}

CommandSet::~CommandSet()
{
    *m_alive = false;
    m_app.setChangeHandler(nullptr);
    m_app.gridState().unsubscribe(m_subscription);
}

Outcome<> CommandSet::grid(Switch s)
{
    if (wanted(s, m_app.gridState().isVisible()) != m_app.gridState().isVisible())
        m_app.toggleGrid();
    return done();
}

Outcome<> CommandSet::labels(Switch s)
{
    if (wanted(s, m_app.gridState().showCellLabels()) != m_app.gridState().showCellLabels())
        m_app.toggleCellLabels();
    return done();
}

Outcome<> CommandSet::adjust(Switch s)
{
    const auto& state = m_app.gridState();
    bool on = wanted(s, state.isAdjusting());
    if (on == state.isAdjusting())
        return done();
    if (on && !state.isVisible())
        return failed("the grid is hidden: adjust mode needs it shown");
    m_app.toggleAdjustMode();
    return done();
}

Outcome<> CommandSet::pick()
{
    if (!m_app.gridState().isVisible())
        return failed("the grid is hidden: picking a window needs it shown");
    m_app.startWindowSelection();
    // The desktop could not take the next click (it has no way to tell where windows are).
    if (!m_app.gridState().isSelectingWindow())
        return failed("picking a window is not available on this desktop");
    return done();
}

Outcome<> CommandSet::follow(uint32_t window)
{
    if (m_platform.isOwnWindow(window))
        return badArgument("window " + hexId(window) + " is Tavelin's own");
    auto windows = m_platform.visibleWindows();
    bool viewable = std::any_of(windows.begin(), windows.end(), [window](auto& w) { return w.id == window && w.bounds; });
    if (!viewable)
        return notFound("window " + hexId(window) + " is not a viewable top-level window");
    m_app.followWindow(window);
    return done();
}

Outcome<> CommandSet::fullScreen()
{
    m_app.setTargetFullScreen();
    return done();
}

Outcome<> CommandSet::size(double width, double height)
{
    for (double side : { width, height }) {
        if (!isCellSize(side)) {
            // Shortest exact form: 400.0000001 is not shown as 400.
            char shown[32];
            auto end = std::to_chars(shown, shown + sizeof shown, side).ptr;
            return badArgument(outsideCellSizes(std::string_view(shown, size_t(end - shown))));
        }
    }
    m_app.setCellSize(width, height);
    return done();
}

Outcome<> CommandSet::color(std::string_view name)
{
    auto color = gridColorNamed(name);
    if (!color)
        return badArgument(noSuchColour(quoted(name)));
    m_app.setGridColor(*color);
    return done();
}

std::vector<ScreenEntry> CommandSet::screens() const
{
    std::vector<ScreenEntry> entries;
    double scale = m_platform.deviceScale();
    auto gridScreen = m_app.fullScreenName();
    for (auto& s : m_platform.screens())
        entries.push_back({ s.name, toPixelRect(s.frame, scale), s.primary, s.name == gridScreen });
    return entries;
}

Outcome<> CommandSet::screen(std::string_view name)
{
    auto all = m_platform.screens();
    auto exact = std::find_if(all.begin(), all.end(), [&](auto& s) { return s.name == name; });
    if (exact == all.end())
        exact = std::find_if(all.begin(), all.end(), [&](auto& s) { return equalsIgnoringCase(s.name, name); });
    if (exact == all.end()) {
        std::string names;
        for (auto& s : all)
            names += (names.empty() ? "" : ", ") + s.name;
        return notFound("no screen named " + quoted(name) + " (screens: " + names + ")");
    }
    m_app.setFullScreenScreen(exact->name);
    return done();
}

Outcome<std::string> CommandSet::shot()
{
    if (!m_app.gridState().isVisible())
        return failed("the grid is hidden: a screenshot with the grid needs it shown");
    auto result = m_app.screenshotToDesktop();
    if (!result.problem.empty())
        return failed(result.problem);
    return result.path;
}

Outcome<std::vector<uint8_t>> CommandSet::shotPng()
{
    if (!m_app.gridState().isVisible())
        return failed("the grid is hidden: a screenshot with the grid needs it shown");
    auto png = m_app.screenshotPng();
    if (!png.bytes)
        return failed("the screenshot could not be taken: " + png.problem);
    return std::move(*png.bytes);
}

CellMap CommandSet::cellMap() const
{
    const auto& state = m_app.gridState();
    return CellMap(m_app.gridFrame(), m_platform.deviceScale(), state.cellWidth(), state.cellHeight(),
        state.targetMode().isFullScreen());
}

CellPlace CommandSet::place(CellAddress cell, const CellMap& map) const
{
    return { cellName(cell), *map.cellPixels(cell), *map.cellCentre(cell) };
}

Outcome<CellPlace> CommandSet::cell(std::string_view name) const
{
    auto address = parseCellName(name);
    bool beyond = !address && isCellNameBeyondAnyGrid(name);
    if (!address && !beyond)
        return badArgument(notACellName(quoted(name)));
    auto map = cellMap();
    if (beyond || !map.contains(*address)) {
        // As the grid would write it: in capitals, and only the start of a name longer than any grid's.
        std::string shown = beyond ? clipped(name) : cellName(*address);
        if (beyond)
            std::transform(shown.begin(), shown.end(), shown.begin(), [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; });
        if (map.columns() == 0 || map.rows() == 0)
            return notFound("no cell " + shown + ": the grid has no whole cells");
        return notFound("no cell " + shown + " on the grid (columns A to "
            + TavelinView::columnLabel(map.columns() - 1) + ", rows 1 to " + std::to_string(map.rows()) + ")");
    }
    return place(*address, map);
}

Outcome<CellPlace> CommandSet::at(int64_t x, int64_t y) const
{
    auto map = cellMap();
    auto found = map.cellAt({ x, y });
    if (found.cell)
        return place(*found.cell, map);
    auto where = std::to_string(x) + " " + std::to_string(y);
    switch (found.reason) {
    case NoCell::onBand: return notFound("no cell at " + where + ": that is on a ruler band");
    case NoCell::partialCell: return notFound("no cell at " + where + ": that is in a partial cell at the grid's edge");
    case NoCell::outsideGrid: break;
    }
    return notFound("no cell at " + where + ": that is outside the grid");
}

GridSnapshot CommandSet::state() const
{
    const auto& s = m_app.gridState();
    auto map = cellMap();
    GridSnapshot snapshot;
    snapshot.visible = s.isVisible();
    snapshot.labels = s.showCellLabels();
    snapshot.adjusting = s.isAdjusting();
    snapshot.picking = s.isSelectingWindow();
    snapshot.window = s.targetMode().windowId();
    snapshot.screen = m_app.fullScreenName();
    snapshot.cellWidth = s.cellWidth();
    snapshot.cellHeight = s.cellHeight();
    snapshot.color = std::string(rawValue(s.gridColor()));
    snapshot.scale = m_platform.deviceScale();
    snapshot.frame = toPixelRect(m_app.gridFrame(), snapshot.scale);
    snapshot.columns = map.columns();
    snapshot.rows = map.rows();
    return snapshot;
}

void CommandSet::quit() { m_app.quitApp(); }

void CommandSet::watchState(std::function<void(const GridSnapshot&)> changed)
{
    m_changed = std::move(changed);
    m_lastTold = state();
}

void CommandSet::scheduleCheck()
{
    if (m_checkPending || !m_changed)
        return;
    m_checkPending = true;
    std::weak_ptr<bool> alive = m_alive;
    m_platform.post([this, alive] {
        if (!alive.lock())
            return;
        m_checkPending = false;
        auto now = state();
        if (now == m_lastTold)
            return;
        m_lastTold = now;
        m_changed(now);
    });
}

}
