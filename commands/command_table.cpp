#include "commands/command_table.h"

namespace {

constexpr CommandInfo kCommands[] = {
    {IDM_EXIT, "IDM_EXIT", "В&ыход\tAlt+F4", "", DialogKind::None},
    {IDM_GRAYSCALE, "IDM_GRAYSCALE", "Градации &серого\tCtrl+G", "grayscale", DialogKind::None},
    {IDM_BINARIZE, "IDM_BINARIZE", "&Бинаризация\tCtrl+B", "binarize", DialogKind::Threshold},
    {IDM_NEGATIVE, "IDM_NEGATIVE", "&Негатив\tCtrl+N", "negative", DialogKind::None},
    {IDM_BRIGHTNESS, "IDM_BRIGHTNESS", "&Яркость\tCtrl+Y", "brightness", DialogKind::Percent},
    {IDM_CONTRAST, "IDM_CONTRAST", "&Котраст\tCtrl+C", "contrast", DialogKind::Percent},
    {IDM_OPEN, "IDM_OPEN", "&Открыть\tCtrl+O", "open", DialogKind::File},
    {IDM_UNDO, "IDM_UNDO", "&Отмена\tCtrl+Z", "undo", DialogKind::None},
    {IDM_ROBERTS, "IDM_ROBERTS", "Фильтр Робертса\tCtrl+R", "roberts", DialogKind::None},
    {IDM_SOBEL, "IDM_SOBEL", "Фильтр Собела\tCtrl+S", "sobel", DialogKind::None},
    {IDM_WALLIS, "IDM_WALLIS", "Фильтр Уоллеса\tCtrl+W", "wallis", DialogKind::None},
    {IDM_KIRSCH, "IDM_KIRSCH", "Фильтр Кирша\tCtrl+K", "kirsch", DialogKind::None},
    {IDM_STATISTICAL, "IDM_STATISTICAL", "Фильтр статистический\tCtrl+T", "statistical", DialogKind::Aperture},
    {IDM_LINEAR, "IDM_LINEAR", "Фильтр линейный\tCtrl+L", "linear", DialogKind::None},
    {IDM_LAPLACE, "IDM_LAPLACE", "Фильтр Лапласа\tCtrl+P", "laplace", DialogKind::None},
    {IDM_SMOOTH_2D, "IDM_SMOOTH_2D", "Фильтр сглаживающий двумерный\tCtrl+J ", "smooth-2d", DialogKind::Aperture},
    {IDM_SMOOTH_LINEAR, "IDM_SMOOTH_LINEAR", "Фильтр сглаживающий линейный\tCtrl+U ", "smooth-linear",
     DialogKind::Aperture},
    {IDM_MEDIAN_LINEAR, "IDM_MEDIAN_LINEAR", "Фильтр медианный линейный\tCtrl+M ", "median-linear",
     DialogKind::Aperture},
    {IDM_MEDIAN_2D, "IDM_MEDIAN_2D", "Фильтр медианный двумерный\tCtrl+D ", "median-2d", DialogKind::Aperture},
    {IDM_NOISE, "IDM_NOISE", "Наложить шум\tShift+Z", "noise", DialogKind::NoisePoints},
    {IDM_SEGMENT, "IDM_SEGMENT", "&Сегментирование", "segment", DialogKind::None},
    {IDM_FFT_LINEAR, "IDM_FFT_LINEAR", "Прямое линейное БПФ", "fft-linear", DialogKind::BlockSize},
    {IDM_FFT_INVERSE, "IDM_FFT_INVERSE", "Обратное БПФ", "fft-inverse", DialogKind::None},
    {IDM_FFT_2D, "IDM_FFT_2D", "Прямое двумерное БПФ", "fft-2d", DialogKind::BlockSize},
    {IDM_WALSH_LINEAR, "IDM_WALSH_LINEAR", "Прямое линейное преобразование Уолша", "walsh-linear",
     DialogKind::BlockSize},
    {IDM_WALSH_2D, "IDM_WALSH_2D", "Прямое двумерное преобразование Уолша", "walsh-2d", DialogKind::BlockSize},
    {IDM_WALSH_INVERSE, "IDM_WALSH_INVERSE", "Обратное преобразование Уолша", "walsh-inverse", DialogKind::None},
};

constexpr Accelerator kAccelerators[] = {
    {'B', MOD_CTRL, IDM_BINARIZE},      {'C', MOD_CTRL, IDM_CONTRAST},     {'D', MOD_CTRL, IDM_MEDIAN_2D},
    {'G', MOD_CTRL, IDM_GRAYSCALE},     {'J', MOD_CTRL, IDM_SMOOTH_2D},    {'K', MOD_CTRL, IDM_KIRSCH},
    {'L', MOD_CTRL, IDM_LINEAR},        {'M', MOD_CTRL, IDM_MEDIAN_LINEAR}, {'N', MOD_CTRL, IDM_NEGATIVE},
    {'O', MOD_CTRL, IDM_OPEN},          {'P', MOD_CTRL, IDM_LAPLACE},      {'R', MOD_CTRL, IDM_ROBERTS},
    {'S', MOD_CTRL, IDM_SOBEL},         {'T', MOD_CTRL, IDM_STATISTICAL},  {'U', MOD_CTRL, IDM_SMOOTH_LINEAR},
    {KEY_F4, MOD_ALT, IDM_EXIT},        {'W', MOD_CTRL, IDM_WALLIS},       {'Y', MOD_CTRL, IDM_BRIGHTNESS},
    {'Z', MOD_CTRL, IDM_UNDO},          {'Z', MOD_SHIFT, IDM_NOISE},
};

constexpr MenuItem kFile[] = {{IDM_OPEN}, {IDM_EXIT}};
constexpr MenuItem kLab1[] = {{IDM_GRAYSCALE}, {IDM_BINARIZE}, {IDM_NEGATIVE}, {IDM_BRIGHTNESS}, {IDM_CONTRAST}};
constexpr MenuItem kLab2[] = {{IDM_ROBERTS},       {IDM_SOBEL},     {IDM_KIRSCH},        {IDM_WALLIS},
                              {IDM_STATISTICAL},   {IDM_LINEAR},    {IDM_LAPLACE},       {0},
                              {IDM_SMOOTH_LINEAR}, {IDM_SMOOTH_2D}, {IDM_MEDIAN_LINEAR}, {IDM_MEDIAN_2D},
                              {0},                 {IDM_NOISE}};
constexpr MenuItem kLab3[] = {{IDM_FFT_LINEAR},   {IDM_FFT_2D},   {IDM_FFT_INVERSE},   {0},
                              {IDM_WALSH_LINEAR}, {IDM_WALSH_2D}, {IDM_WALSH_INVERSE}};
constexpr MenuItem kRecognition[] = {{IDM_SEGMENT}};
constexpr MenuItem kEdit[] = {{IDM_UNDO}};

constexpr MenuPopup kMenu[] = {
    {"&Файл", kFile},          {"Лаба &1 ", kLab1},          {"Лаба &2", kLab2},
    {"Лаба&3", kLab3},         {"Рас&познавание", kRecognition}, {"&Редактирование", kEdit},
};

}  // namespace

std::span<const CommandInfo> command_table() { return kCommands; }
std::span<const Accelerator> accelerator_table() { return kAccelerators; }
std::span<const MenuPopup> main_menu() { return kMenu; }

const CommandInfo* find_command(std::uint16_t id)
{
    for (const CommandInfo& c : kCommands)
        if (c.id == id) return &c;
    return nullptr;
}

const CommandInfo* find_command_by_step(std::string_view step)
{
    if (step.empty()) return nullptr;
    for (const CommandInfo& c : kCommands)
        if (step == c.step) return &c;
    return nullptr;
}
