#include "commands/dispatch.h"

#include <string>

#include "commands/command_table.h"
#include "commands/param_dialog.h"
#include "image/bmp.h"
#include "ops/operations.h"

namespace {

struct LinearSetup {
    const char* title;
    std::int32_t range_min, range_max, tick_step, initial_pos;
    const char* min_label;
    const char* max_label;
    const char* suffix;
    float scale, offset;
};

constexpr LinearSetup kThreshold = {"Порог для бинаризации", 0, 255, 16, 128, "0", "255", "", 1.0f, 0.0f};
constexpr LinearSetup kBrightness = {"Преобразование яркости", -100, 100, 10, 0, "-100%", "100%", "%", 1.0f, 0.0f};
constexpr LinearSetup kContrast = {"Преобразование контраста", -100, 100, 10, 0, "-100%", "100%", "%", 1.0f, 0.0f};
constexpr LinearSetup kNoise = {"Уровень шума (количество точек).", 1, 32767, 1000, 7000, "1", "65534", "", 2.0f, 0.0f};

constexpr LinearSetup aperture_setup(const char* title) { return {title, 1, 10, 1, 1, "3", "21", "", 2.0f, 1.0f}; }

const char* aperture_title(int id)
{
    switch (id) {
    case IDM_STATISTICAL: return "Апертура статистического фильтра";
    case IDM_SMOOTH_2D: return "Апертура сглаживающего двуменого фильтра.";
    case IDM_SMOOTH_LINEAR: return "Апертура сглаживающего линейного фильтра.";
    case IDM_MEDIAN_LINEAR: return "Апертура медианного линеного фильтра.";
    default: return "Апертура медианного двуменого фильтра.";
    }
}

// Shows the dialog set up as given; true with the value on OK.
bool ask_linear(const LinearSetup& s, std::int32_t& value)
{
    ParamDialogSpec& d = param_dialog_spec;
    set_text(d.title, s.title);
    d.range_min = s.range_min;
    d.range_max = s.range_max;
    d.tick_step = s.tick_step;
    d.initial_pos = s.initial_pos;
    set_text(d.min_label, s.min_label);
    set_text(d.max_label, s.max_label);
    set_text(d.suffix, s.suffix);
    d.scale = s.scale;
    d.offset = s.offset;
    if (show_param_dialog() != 1) return false;
    value = d.result;
    return true;
}

bool ask_block_size(const ImageRecord& record, std::int32_t& value)
{
    const int k = block_exponent_max(record);
    ParamDialogSpec& d = param_dialog_spec;
    set_text(d.title, "Размер блока для преобразования.");
    d.range_min = 1;
    d.range_max = k;
    d.tick_step = 1;
    d.initial_pos = k;
    set_text(d.min_label, "2");
    set_text(d.max_label, std::to_string(1L << k).c_str());
    set_text(d.suffix, "");
    power_of_two_mode = 1;
    if (show_param_dialog() != 1) return false;
    value = d.result;
    return true;
}

void report_out_of_memory() { show_message(kErrorCaption, kOutOfMemory); }

// Runs an ordinary operation from the current record into the other one and
// shows its result; a refused operation changes nothing.
template <class Operation>
void apply(WindowHandle window, ImageRecord& other, Operation&& operation)
{
    begin_busy();
    const bool done = operation(static_cast<const ImageRecord&>(*current_image), other);
    end_busy();
    if (!done) {
        report_out_of_memory();
        return;
    }
    current_image = &other;
    request_repaint(window);
}

template <class Transform>
void transform(WindowHandle window, Transform&& run)
{
    begin_busy();
    const bool done = run(*current_image);
    end_busy();
    if (!done) report_out_of_memory();
    request_repaint(window);
}

void open_file(WindowHandle window)
{
    static const char filter[] = "Bitmap 24 bit(*.bmp)\0*bmp\0";  // the literal adds the closing NUL
    std::filesystem::path file;
    if (choose_bmp_file(window, "Открыть графический файл.", nullptr, filter, file, 0, 0) == 0) return;
    // A pending spectrum never outlives its picture: the planes go with the
    // pixels, so an inverse cannot write into a smaller new picture.
    image_a.pixels.reset();
    image_b.pixels.reset();
    release_planes(image_a);
    release_planes(image_b);
    current_image = nullptr;
    begin_busy();
    const int loaded = load_bmp(file);
    end_busy();
    if (loaded == 1) current_image = &image_a;
    request_repaint(window);
}

}  // namespace

int block_exponent_max(const ImageRecord& record)
{
    const int side = record.width < record.height ? record.width : record.height;
    int k = 0;
    while ((2 << k) <= side) ++k;
    return k;
}

std::int16_t brightness_offset(std::int32_t percent)
{
    const double v = (static_cast<double>(percent) * static_cast<double>(0.01f)) * static_cast<double>(255.0f) + 0.5;
    return static_cast<std::int16_t>(static_cast<int>(v));
}

float contrast_factor(std::int32_t percent)
{
    if (percent > 0) return static_cast<float>(static_cast<double>(percent) * static_cast<double>(0.1f));
    return static_cast<float>(10.0 / static_cast<double>(-percent));
}

void run_command(WindowHandle window, int id)
{
    ImageRecord& other = other_record();
    const bool loaded = current_image != nullptr;
    std::int32_t value = 0;

    switch (id) {
    case IDM_EXIT:
        destroy_window(window);
        return;
    case IDM_OPEN:
        open_file(window);
        return;
    case IDM_UNDO:
        if (other.pixels) current_image = &other;
        request_repaint(window);
        return;
    default:
        break;
    }
    if (!loaded || find_command(static_cast<std::uint16_t>(id)) == nullptr) return;

    switch (id) {
    case IDM_GRAYSCALE: apply(window, other, to_grayscale); return;
    case IDM_NEGATIVE: apply(window, other, make_negative); return;
    case IDM_ROBERTS: apply(window, other, roberts_filter); return;
    case IDM_SOBEL: apply(window, other, sobel_filter); return;
    case IDM_WALLIS: apply(window, other, wallis_filter); return;
    case IDM_KIRSCH: apply(window, other, kirsch_filter); return;
    case IDM_LINEAR: apply(window, other, linear_filter); return;
    case IDM_LAPLACE: apply(window, other, laplace_filter); return;

    case IDM_BINARIZE: {
        if (!ask_linear(kThreshold, value)) return;
        const auto threshold = static_cast<std::uint8_t>(value);
        apply(window, other, [threshold](const ImageRecord& s, ImageRecord& d) { return binarize(s, d, threshold); });
        return;
    }
    case IDM_BRIGHTNESS: {
        if (!ask_linear(kBrightness, value) || value == 0) return;
        const std::int16_t offset = brightness_offset(value);
        apply(window, other,
              [offset](const ImageRecord& s, ImageRecord& d) { return adjust_brightness(s, d, offset); });
        return;
    }
    case IDM_CONTRAST: {
        if (!ask_linear(kContrast, value) || value == 0) return;
        const float factor = contrast_factor(value);
        apply(window, other, [factor](const ImageRecord& s, ImageRecord& d) { return adjust_contrast(s, d, factor); });
        return;
    }
    case IDM_STATISTICAL:
    case IDM_SMOOTH_2D:
    case IDM_SMOOTH_LINEAR:
    case IDM_MEDIAN_LINEAR:
    case IDM_MEDIAN_2D: {
        if (!ask_linear(aperture_setup(aperture_title(id)), value) || value == 0) return;
        const auto aperture = static_cast<std::uint8_t>(value);
        bool (*filter)(const ImageRecord&, ImageRecord&, std::uint8_t) =
            id == IDM_STATISTICAL     ? statistical_filter
            : id == IDM_SMOOTH_2D     ? smooth_2d
            : id == IDM_SMOOTH_LINEAR ? smooth_linear
            : id == IDM_MEDIAN_LINEAR ? median_linear
                                      : median_2d;
        apply(window, other,
              [filter, aperture](const ImageRecord& s, ImageRecord& d) { return filter(s, d, aperture); });
        return;
    }
    case IDM_NOISE: {
        if (!ask_linear(kNoise, value) || value == 0) return;
        apply(window, other, [value](const ImageRecord& s, ImageRecord& d) { return add_noise(s, d, value); });
        return;
    }
    case IDM_SEGMENT:
        begin_busy();
        if (!segment_characters(window, *current_image)) report_out_of_memory();
        end_busy();
        return;

    case IDM_FFT_LINEAR:
    case IDM_FFT_2D:
    case IDM_WALSH_LINEAR:
    case IDM_WALSH_2D: {
        // No block of size 2 fits a picture whose smaller side is below 2.
        if (block_exponent_max(*current_image) < 1) return;
        if (!ask_block_size(*current_image, value)) return;
        const int passes = (id == IDM_FFT_2D || id == IDM_WALSH_2D) ? 2 : 1;
        const bool fourier = id == IDM_FFT_LINEAR || id == IDM_FFT_2D;
        transform(window, [=](ImageRecord& r) {
            return fourier ? fft_block(r, passes, +1, value) : walsh_block(r, passes, +1, value);
        });
        return;
    }
    case IDM_FFT_INVERSE:
        if (block_exponent_max(*current_image) < 1) return;
        transform(window, [](ImageRecord& r) { return fft_block(r, r.transform_state, -1, 0); });
        return;
    case IDM_WALSH_INVERSE:
        if (block_exponent_max(*current_image) < 1) return;
        transform(window, [](ImageRecord& r) { return walsh_block(r, r.transform_state - 2, -1, 0); });
        return;
    default:
        return;
    }
}
