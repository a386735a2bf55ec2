// The helpers the explain functions share, and the two renderings of an
// explanation: the panel's text and the command-line tool's JSON.
#include "ops/explain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/statistics.h"
#include "text/catalogue.h"

namespace explain {

PixelBytes bytes_at(const ImageRecord& r, int x, int y)
{
    const std::uint8_t* p = r.pixel(x, y);
    return {p[2], p[1], p[0]};
}

Explanation computed(const PixelQuestion& q)
{
    Explanation e;
    e.x = q.x;
    e.y = q.y;
    e.status = ExplainStatus::Computed;
    e.written = true;
    return e;
}

Explanation not_written(const PixelQuestion& q, const char* why)
{
    Explanation e;
    e.x = q.x;
    e.y = q.y;
    e.status = ExplainStatus::NotWritten;
    e.result = bytes_at(q.result, q.x, q.y);
    e.written = false;
    e.note = text::tr(why);
    return e;
}

ExplainInput window(const ImageRecord& source, Sample sample, int x0, int y0, int columns, int rows)
{
    ExplainInput in{sample, x0, y0, columns, rows, {}};
    in.values.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    std::uint8_t lumas[64];
    for (int i = 0; i < rows; ++i) {
        const std::uint8_t* p = source.pixel(x0, y0 + i);
        for (int c = 0; c < columns;) {
            const int n = std::min(columns - c, 64);
            if (sample == Sample::Luma) {
                luma_row(p + 3 * c, static_cast<std::size_t>(n), lumas);
                in.values.insert(in.values.end(), lumas, lumas + n);
            } else {
                const int channel = sample == Sample::Blue ? 0 : sample == Sample::Green ? 1 : 2;
                for (int k = 0; k < n; ++k) in.values.push_back(p[3 * (c + k) + channel]);
            }
            c += n;
        }
    }
    return in;
}

void add_own_pixel(const PixelQuestion& q, Explanation& e)
{
    for (Sample s : {Sample::Blue, Sample::Green, Sample::Red}) e.inputs.push_back(window(q.source, s, q.x, q.y, 1, 1));
}

void add_step(Explanation& e, const char* name, const char* label, double value)
{
    e.steps.push_back({name, label, {value}, 0, false});
}

void add_step(Explanation& e, const char* name, const char* label, std::vector<double> values, int columns)
{
    e.steps.push_back({name, label, std::move(values), columns, false});
}

void add_channel_step(Explanation& e, const char* name, const char* label, double blue, double green, double red)
{
    e.steps.push_back({name, label, {blue, green, red}, 0, true});
}

}  // namespace explain

namespace {

// A number as the panel writes it: whole numbers in full, others to six
// significant digits, with the language's decimal separator (a comma in
// Russian).
std::string panel_number(double v)
{
    if (!std::isfinite(v)) return "—";
    if (v == std::trunc(v) && std::fabs(v) < 1e15) return std::to_string(static_cast<long long>(v));
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    std::string s = text;
    std::replace(s.begin(), s.end(), '.', text::decimal_point());
    return s;
}

const char* sample_name(Sample s)
{
    switch (s) {
    case Sample::Luma: return "luma";
    case Sample::Blue: return "blue";
    case Sample::Green: return "green";
    case Sample::Red: return "red";
    }
    return "luma";
}

const char* channel_label(Sample s)
{
    switch (s) {
    case Sample::Luma: return "Яркость";
    case Sample::Blue: return "Синий канал";
    case Sample::Green: return "Зелёный канал";
    case Sample::Red: return "Красный канал";
    }
    return "";
}

// Rows of a grid, right-aligned; the cell `marked` (row * columns + column,
// or -1) in brackets.
void grid_lines(std::string& text, const std::vector<std::string>& cells, int columns, int marked)
{
    std::size_t width = 1;
    for (const std::string& c : cells) width = std::max(width, c.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const bool first = i % static_cast<std::size_t>(columns) == 0;
        if (first) text += "  ";
        const bool mark = static_cast<int>(i) == marked;
        text += first ? "" : " ";
        text += mark ? "[" : " ";
        text += std::string(width - cells[i].size(), ' ') + cells[i];
        text += mark ? "]" : " ";
        if ((i + 1) % static_cast<std::size_t>(columns) == 0 || i + 1 == cells.size()) {
            while (!text.empty() && text.back() == ' ') text.pop_back();
            text += '\n';
        }
    }
}

std::string window_title(const ExplainInput& in)
{
    const std::string columns = std::to_string(in.columns), rows = std::to_string(in.rows);
    if (in.sample == Sample::Luma) return text::format("Окно яркости %1x%2", {columns, rows});
    if (in.rows == 1) return text::format("%1, %2 пикселей строки", {text::tr(channel_label(in.sample)), columns});
    return text::format("%1, окно %2x%3", {text::tr(channel_label(in.sample)), columns, rows});
}

void input_text(std::string& text, const Explanation& e)
{
    // 1 x 1 inputs: the pixel's own values, on one line.
    std::string own;
    for (const ExplainInput& in : e.inputs) {
        if (in.columns != 1 || in.rows != 1) continue;
        own += own.empty() ? "" : ", ";
        const std::string value = std::to_string(in.values[0]);
        own += in.sample == Sample::Luma    ? text::format("яркость %1", {value})
               : in.sample == Sample::Blue  ? "B " + value
               : in.sample == Sample::Green ? "G " + value
                                            : "R " + value;
    }
    if (!own.empty()) text += text::format("Исходный пиксель: %1", {own}) + "\n";
    for (const ExplainInput& in : e.inputs) {
        if (in.columns == 1 && in.rows == 1) continue;
        text += text::format("%1 (пиксель в скобках):", {window_title(in)}) + "\n";
        std::vector<std::string> cells;
        for (int v : in.values) cells.push_back(std::to_string(v));
        const int col = e.x - in.x, row = e.y - in.y;
        const int marked = col >= 0 && col < in.columns && row >= 0 && row < in.rows ? row * in.columns + col : -1;
        grid_lines(text, cells, in.columns, marked);
    }
}

// A step's label in the language in use. Labels are written in Russian, and
// a number in one takes the decimal comma ("ln(отношение + 0,5)"); a label
// without a word to translate ("(d·k + m) + 0,5") is the same in every
// language but for that comma, which becomes the language's separator.
std::string step_label(const char* label)
{
    const char* shown = text::tr(label);
    std::string out = shown;
    if (shown != label || text::decimal_point() == ',') return out;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 1; i + 1 < out.size(); ++i)
        if (out[i] == ',' && digit(out[i - 1]) && digit(out[i + 1])) out[i] = text::decimal_point();
    return out;
}

void step_text(std::string& text, const ExplainStep& s)
{
    text += step_label(s.label);
    text += ':';
    if (s.per_channel) {
        text += " B " + panel_number(s.values[0]) + "; G " + panel_number(s.values[1]) + "; R " +
                panel_number(s.values[2]) + "\n";
        return;
    }
    if (s.columns > 0) {
        text += '\n';
        std::vector<std::string> cells;
        for (double v : s.values) cells.push_back(panel_number(v));
        grid_lines(text, cells, s.columns, -1);
        return;
    }
    for (std::size_t i = 0; i < s.values.size(); ++i) text += (i ? "; " : " ") + panel_number(s.values[i]);
    text += '\n';
}

// JSON pieces.

// The shortest text that reads back as the same double. The browser's
// standard library has no floating-point to_chars; there the same text is
// built as to_chars defines it: the fewest significant digits that read
// back, written fixed or with an exponent, whichever is shorter (fixed on a
// tie).
std::string json_number(double v)
{
    if (!std::isfinite(v)) return "null";
#if defined(__cpp_lib_to_chars)
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    return std::string(text, end);
#else
    char scientific[40], fixed[400];
    int digits = 1;
    for (; digits < 17; ++digits) {
        std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1, v);
        if (std::strtod(scientific, nullptr) == v) break;
    }
    std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1, v);
    const int exponent = std::atoi(std::strchr(scientific, 'e') + 1);
    std::snprintf(fixed, sizeof fixed, "%.*f", std::max(0, digits - 1 - exponent), v);
    return std::strlen(fixed) <= std::strlen(scientific) ? fixed : scientific;
#endif
}

template <class T, class Format>
std::string json_rows(const std::vector<T>& values, int columns, Format format)
{
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i % static_cast<std::size_t>(columns) == 0) out += i ? "], [" : "[";
        else out += ", ";
        out += format(values[i]);
    }
    return out + (values.empty() ? "]" : "]]");
}

template <class T, class Format>
std::string json_list(const std::vector<T>& values, Format format)
{
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + format(values[i]);
    return out + "]";
}

const char* status_name(ExplainStatus s)
{
    switch (s) {
    case ExplainStatus::Computed: return "computed";
    case ExplainStatus::NotWritten: return "not-written";
    case ExplainStatus::Block: return "block";
    case ExplainStatus::NothingToExplain: return "nothing-to-explain";
    case ExplainStatus::SourceGone: return "source-gone";
    }
    return "";
}

}  // namespace

// A JSON string literal of UTF-8 text.
std::string json_string(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char u[8];
                std::snprintf(u, sizeof u, "\\u%04x", c);
                out += u;
            } else {
                out += c;
            }
        }
    }
    return out + '"';
}


std::string explanation_text(const Explanation& e)
{
    std::string text = e.caption + "\n";
    if (e.value) text += e.value_label + ": " + std::to_string(*e.value) + e.value_unit + "\n";
    text += text::format("Пиксель (%1, %2)", {std::to_string(e.x), std::to_string(e.y)}) + "\n";
    input_text(text, e);
    for (const ExplainStep& s : e.steps) step_text(text, s);
    text += text::format("Результат: R %1, G %2, B %3",
                         {std::to_string(e.result.r), std::to_string(e.result.g), std::to_string(e.result.b)}) +
            "\n";
    if (!e.note.empty()) text += e.note + "\n";
    return text;
}

std::string explanation_json(const Explanation& e)
{
    auto integer = [](int v) { return std::to_string(v); };
    std::string out = "{\n";
    out += "  \"command\": " + json_string(e.command) + ",\n";
    out += "  \"caption\": " + json_string(e.caption) + ",\n";
    out += "  \"value\": " + (e.value ? std::to_string(*e.value) : std::string("null")) + ",\n";
    out += "  \"x\": " + std::to_string(e.x) + ",\n  \"y\": " + std::to_string(e.y) + ",\n";
    out += "  \"status\": " + json_string(status_name(e.status)) + ",\n";
    out += "  \"inputs\": [";
    for (std::size_t i = 0; i < e.inputs.size(); ++i) {
        const ExplainInput& in = e.inputs[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"name\": " + json_string(sample_name(in.sample)) + ", \"x\": " + std::to_string(in.x) +
               ", \"y\": " + std::to_string(in.y) + ", \"values\": " + json_rows(in.values, in.columns, integer) +
               "}";
    }
    out += e.inputs.empty() ? "],\n" : "\n  ],\n";
    out += "  \"steps\": [";
    for (std::size_t i = 0; i < e.steps.size(); ++i) {
        const ExplainStep& s = e.steps[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"name\": " + json_string(s.name) + ", \"value\": ";
        if (s.per_channel)
            out += "{\"b\": " + json_number(s.values[0]) + ", \"g\": " + json_number(s.values[1]) +
                   ", \"r\": " + json_number(s.values[2]) + "}";
        else if (s.columns > 0)
            out += json_rows(s.values, s.columns, json_number);
        else if (s.values.size() == 1)
            out += json_number(s.values[0]);
        else
            out += json_list(s.values, json_number);
        out += "}";
    }
    out += e.steps.empty() ? "],\n" : "\n  ],\n";
    out += "  \"result\": {\"r\": " + std::to_string(e.result.r) + ", \"g\": " + std::to_string(e.result.g) +
           ", \"b\": " + std::to_string(e.result.b) + "},\n";
    out += std::string("  \"written\": ") + (e.written ? "true" : "false") + ",\n";
    out += "  \"note\": " + json_string(e.note) + "\n}\n";
    return out;
}
