#include "commands/kernel_dialog.h"

#include <charconv>
#include <vector>

#include "text/catalogue.h"

namespace {

constexpr CustomKernel k3(std::initializer_list<int> w, std::int32_t divisor, OutOfRange rule, KernelChannels channels)
{
    CustomKernel k{};
    k.size = 3;
    int i = 0;
    for (int v : w) k.weights[i++] = static_cast<std::int16_t>(v);
    k.divisor = divisor;
    k.out_of_range = rule;
    k.channels = channels;
    return k;
}
constexpr CustomKernel k5(std::initializer_list<int> w, std::int32_t divisor, KernelChannels channels)
{
    CustomKernel k = k3({}, divisor, OutOfRange::Clamp, channels);
    k.size = 5;
    int i = 0;
    for (int v : w) k.weights[i++] = static_cast<std::int16_t>(v);
    return k;
}

constexpr auto kLuma = KernelChannels::Luma, kRgb = KernelChannels::EachChannel;
constexpr auto kClamp = OutOfRange::Clamp, kAbs = OutOfRange::Absolute;

const KernelPreset kPresets[] = {
    {"identity", "Без изменений", k3({0, 0, 0, 0, 1, 0, 0, 0, 0}, 0, kClamp, kLuma)},
    {"box", "Среднее 3x3", k3({1, 1, 1, 1, 1, 1, 1, 1, 1}, 0, kClamp, kRgb)},
    {"box-5", "Среднее 5x5", k5({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 0, kRgb)},
    {"gauss-3", "Гаусс 3x3", k3({1, 2, 1, 2, 4, 2, 1, 2, 1}, 0, kClamp, kRgb)},
    {"gauss-5", "Гаусс 5x5",
     k5({1, 4, 6, 4, 1, 4, 16, 24, 16, 4, 6, 24, 36, 24, 6, 4, 16, 24, 16, 4, 1, 4, 6, 4, 1}, 0, kRgb)},
    {"sharpen", "Резкость", k3({0, -1, 0, -1, 5, -1, 0, -1, 0}, 1, kClamp, kRgb)},
    {"laplace-8", "Лаплас, 8 соседей (Фильтр линейный)", k3({-1, -1, -1, -1, 8, -1, -1, -1, -1}, 1, kClamp, kLuma)},
    {"laplace-12", "Лаплас 12 (Фильтр Лапласа)", k3({-1, -2, -1, -2, 12, -2, -1, -2, -1}, 1, kClamp, kLuma)},
    {"sobel-x", "Собел по X", k3({-1, 0, 1, -2, 0, 2, -1, 0, 1}, 1, kAbs, kLuma)},
    {"sobel-y", "Собел по Y", k3({-1, -2, -1, 0, 0, 0, 1, 2, 1}, 1, kAbs, kLuma)},
    {"prewitt-x", "Превитт по X", k3({-1, 0, 1, -1, 0, 1, -1, 0, 1}, 1, kAbs, kLuma)},
    {"prewitt-y", "Превитт по Y", k3({-1, -1, -1, 0, 0, 0, 1, 1, 1}, 1, kAbs, kLuma)},
    {"emboss", "Тиснение", k3({-1, -1, 0, -1, 0, 1, 0, 1, 1}, 1, OutOfRange::Plus128, kLuma)},
};

bool read_int(std::string_view text, int& out)
{
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+' && text.size() > 1 && first[1] != '-') ++first;
    const auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

// "/DIVISOR+OFFSET,RULE,CHANNELS" (divisor 0: auto).
void append_tail(std::string& word, int divisor, int offset, int rule, int channels)
{
    word += '/';
    word += divisor == 0 ? std::string("auto") : std::to_string(divisor);
    word += offset < 0 ? '-' : '+';
    word += std::to_string(offset < 0 ? -offset : offset);
    word += ',';
    word += kOutOfRangeNames[rule];
    word += ',';
    word += kChannelNames[channels];
}

std::string quoted(std::string_view text)
{
    std::string out(1, '\'');
    out += text;
    out += '\'';
    return out;
}

}  // namespace

std::span<const KernelPreset> kernel_presets() { return kPresets; }

const KernelPreset* find_kernel_preset(std::string_view name)
{
    for (const KernelPreset& p : kPresets)
        if (name == p.name) return &p;
    return nullptr;
}

std::string kernel_word(const CustomKernel& k)
{
    std::string word = std::to_string(k.size) + ":";
    for (int i = 0; i < k.size * k.size; ++i) {
        if (i) word += ',';
        word += std::to_string(k.weights[i]);
    }
    append_tail(word, k.divisor, k.offset, static_cast<int>(k.out_of_range), static_cast<int>(k.channels));
    return word;
}

bool parse_kernel_word(std::string_view word, CustomKernel& kernel, std::string& error)
{
    if (const KernelPreset* preset = find_kernel_preset(word)) {
        kernel = preset->kernel;
        return true;
    }
    CustomKernel k{};
    const auto colon = word.find(':');
    int size = 0;
    if (colon == std::string_view::npos || !read_int(word.substr(0, colon), size) || (size != 3 && size != 5)) {
        error = "a kernel is SIZE:WEIGHTS[/DIVISOR][+OFFSET][,RULE][,CHANNELS] with SIZE 3 or 5, or a preset (";
        for (const KernelPreset& p : kPresets) {
            if (&p != kPresets) error += ", ";
            error += p.name;
        }
        error += ")";
        return false;
    }
    k.size = static_cast<std::uint8_t>(size);
    std::string_view rest = word.substr(colon + 1);
    // The words after the weights: the rule and the channels.
    std::vector<std::string_view> parts = split(rest, ',');
    const std::size_t count = static_cast<std::size_t>(size * size);
    while (parts.size() > count) {
        const std::string_view last = parts.back();
        bool known = false;
        for (int i = 0; i < 3; ++i)
            if (last == kOutOfRangeNames[i]) k.out_of_range = static_cast<OutOfRange>(i), known = true;
        for (int i = 0; i < 2; ++i)
            if (last == kChannelNames[i]) k.channels = static_cast<KernelChannels>(i), known = true;
        if (!known) break;
        parts.pop_back();
    }
    // The last weight carries the divisor and the offset.
    std::string_view tail;
    bool has_tail = false;
    if (!parts.empty()) {
        std::string_view& last = parts.back();
        if (const auto slash = last.find('/'); slash != std::string_view::npos) {
            tail = last.substr(slash + 1);
            last = last.substr(0, slash);
            has_tail = true;
        }
    }
    if (parts.size() != count) {
        error = "a " + std::to_string(size) + "x" + std::to_string(size) + " kernel has " + std::to_string(count) +
                " weights, not " + std::to_string(parts.size());
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        int w = 0;
        if (!read_int(parts[i], w) || w < -kKernelMaxWeight || w > kKernelMaxWeight) {
            error = "weight " + std::to_string(i + 1) + " " + quoted(parts[i]) + " is not a whole number from -255 to 255";
            return false;
        }
        k.weights[i] = static_cast<std::int16_t>(w);
    }
    if (has_tail) {
        const auto sign = tail.find_first_of("+-");
        const std::string_view divisor = tail.substr(0, sign);
        if (divisor == "auto") {
            k.divisor = 0;
        } else {
            int d = 0;
            if (!read_int(divisor, d) || d < 1 || d > kKernelMaxDivisor) {
                error = "the divisor " + quoted(divisor) + " is not 'auto' or a whole number from 1 to 65025";
                return false;
            }
            k.divisor = d;
        }
        if (sign != std::string_view::npos) {
            int o = 0;
            const std::string_view offset = tail.substr(sign);
            if (!read_int(offset, o) || o < -kKernelMaxOffset || o > kKernelMaxOffset) {
                error = "the offset " + quoted(offset) + " is not a whole number from -255 to 255";
                return false;
            }
            k.offset = static_cast<std::int16_t>(o);
        }
    }
    kernel = k;
    return true;
}

KernelFields kernel_field_texts(const CustomKernel& k)
{
    KernelFields f;
    f.size = k.size;
    for (int i = 0; i < k.size * k.size; ++i) f.weights[i] = std::to_string(k.weights[i]);
    f.divisor = k.divisor == 0 ? "auto" : std::to_string(k.divisor);
    f.offset = std::to_string(k.offset);
    f.out_of_range = static_cast<int>(k.out_of_range);
    f.channels = static_cast<int>(k.channels);
    return f;
}

bool kernel_from_fields(const KernelFields& f, CustomKernel& kernel, std::string& error)
{
    std::string word = std::to_string(f.size) + ":";
    for (int i = 0; i < f.size * f.size; ++i) {
        int w = 0;
        if (!read_int(f.weights[i], w) || w < -kKernelMaxWeight || w > kKernelMaxWeight) {
            error = text::format("Вес в строке %1, столбце %2 должен быть целым числом от -255 до 255.",
                                 {std::to_string(i / f.size + 1), std::to_string(i % f.size + 1)});
            return false;
        }
        if (i) word += ',';
        word += std::to_string(w);
    }
    int d = 0;
    if (f.divisor != "auto" && (!read_int(f.divisor, d) || d < 1 || d > kKernelMaxDivisor)) {
        error = text::tr("Делитель должен быть целым числом от 1 до 65025 или auto.");
        return false;
    }
    int o = 0;
    if (!read_int(f.offset, o) || o < -kKernelMaxOffset || o > kKernelMaxOffset) {
        error = text::tr("Сдвиг должен быть целым числом от -255 до 255.");
        return false;
    }
    if (f.out_of_range < 0 || f.out_of_range > 2 || f.channels < 0 || f.channels > 1 || (f.size != 3 && f.size != 5)) {
        error = text::tr("Неизвестный режим.");
        return false;
    }
    append_tail(word, f.divisor == "auto" ? 0 : d, o, f.out_of_range, f.channels);
    return parse_kernel_word(word, kernel, error);
}

CustomKernel kernel_resized(const CustomKernel& kernel, int size)
{
    if (size == kernel.size || (size != 3 && size != 5)) return kernel;
    CustomKernel k = kernel;
    k.size = static_cast<std::uint8_t>(size);
    for (std::int16_t& w : k.weights) w = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            if (size == 5)
                k.weights[(r + 1) * 5 + c + 1] = kernel.weights[r * 3 + c];
            else
                k.weights[r * 3 + c] = kernel.weights[(r + 1) * 5 + c + 1];
        }
    return k;
}
