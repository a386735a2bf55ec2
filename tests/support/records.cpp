#include "tests/support/records.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "render/view.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"

namespace {

template <class T>
bool same_buffer(const HeapArray<T>& a, const HeapArray<T>& b, const char* name, std::ostringstream& why)
{
    if (bool(a) != bool(b)) {
        why << name << (a ? " expected but missing" : " present but not expected");
        return false;
    }
    if (!a) return true;
    if (a.size() != b.size()) {
        why << name << " holds " << b.size() << " elements instead of " << a.size();
        return false;
    }
    if (a.size() != 0 && std::memcmp(a.get(), b.get(), a.size() * sizeof(T)) != 0) {
        std::size_t i = 0;
        while (std::memcmp(&a[i], &b[i], sizeof(T)) == 0) ++i;
        why << name << " differs first at element " << i;
        return false;
    }
    return true;
}

bool plane_ok(const HeapArray<float>& p, bool wanted, std::size_t n, const char* name, std::ostringstream& why)
{
    if (bool(p) != wanted) {
        why << name << (wanted ? " missing" : " held without a pending transform");
        return false;
    }
    if (wanted && p.size() != n) {
        why << name << " holds " << p.size() << " values, not block_size^2 = " << n;
        return false;
    }
    return true;
}

bool transform_fields_ok(const ImageRecord& r, const char* which, std::ostringstream& why)
{
    const std::int32_t s = r.transform_state;
    if (s < TRANSFORM_NONE || s > TRANSFORM_WALSH_2D) {
        why << which << ": transform_state " << s;
        return false;
    }
    const bool any = s != TRANSFORM_NONE, fourier = s == TRANSFORM_FFT_LINEAR || s == TRANSFORM_FFT_2D;
    const std::size_t n = any ? static_cast<std::size_t>(r.block_size) * static_cast<std::size_t>(r.block_size) : 0;
    why << which << " (state " << s << "): ";
    return plane_ok(r.coef_re_r, any, n, "coef_re_r", why) && plane_ok(r.coef_re_g, any, n, "coef_re_g", why) &&
           plane_ok(r.coef_re_b, any, n, "coef_re_b", why) && plane_ok(r.coef_im_r, fourier, n, "coef_im_r", why) &&
           plane_ok(r.coef_im_g, fourier, n, "coef_im_g", why) && plane_ok(r.coef_im_b, fourier, n, "coef_im_b", why);
}

}  // namespace

::testing::AssertionResult same_record(const ImageRecord& e, const ImageRecord& a)
{
    std::ostringstream why;
    auto field = [&why](const char* name, std::int64_t x, std::int64_t y) {
        if (x == y) return true;
        why << name << " is " << y << " instead of " << x;
        return false;
    };
    bool ok = field("width", e.width, a.width) && field("height", e.height, a.height) &&
              field("row_padding", e.row_padding, a.row_padding) && field("data_size", e.data_size, a.data_size) &&
              same_buffer(e.pixels, a.pixels, "pixels", why) &&
              field("max_r", e.max_r, a.max_r) && field("max_g", e.max_g, a.max_g) &&
              field("max_b", e.max_b, a.max_b) && field("max_luma", e.max_luma, a.max_luma) &&
              field("mean_r", e.mean_r, a.mean_r) && field("mean_g", e.mean_g, a.mean_g) &&
              field("mean_b", e.mean_b, a.mean_b) && field("block_size", e.block_size, a.block_size) &&
              field("transform_state", e.transform_state, a.transform_state) &&
              same_buffer(e.coef_re_r, a.coef_re_r, "coef_re_r", why) &&
              same_buffer(e.coef_re_g, a.coef_re_g, "coef_re_g", why) &&
              same_buffer(e.coef_re_b, a.coef_re_b, "coef_re_b", why) &&
              same_buffer(e.coef_im_r, a.coef_im_r, "coef_im_r", why) &&
              same_buffer(e.coef_im_g, a.coef_im_g, "coef_im_g", why) &&
              same_buffer(e.coef_im_b, a.coef_im_b, "coef_im_b", why);
    if (ok && (std::memcmp(e.hist_r, a.hist_r, sizeof e.hist_r) != 0 ||
               std::memcmp(e.hist_g, a.hist_g, sizeof e.hist_g) != 0 ||
               std::memcmp(e.hist_b, a.hist_b, sizeof e.hist_b) != 0 ||
               std::memcmp(e.hist_luma, a.hist_luma, sizeof e.hist_luma) != 0)) {
        why << "a histogram differs";
        ok = false;
    }
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why.str();
}

::testing::AssertionResult store_invariants_hold(const Session& session)
{
    std::ostringstream why;
    if (session.images.current_image != nullptr && session.images.current_image != &session.images.image_a && session.images.current_image != &session.images.image_b)
        return ::testing::AssertionFailure() << "current_image points at neither record";
    if (session.images.current_image == nullptr && (session.images.image_a.pixels || session.images.image_b.pixels))
        return ::testing::AssertionFailure() << "a pixel block is held while nothing is on display";
    if (session.images.current_image != nullptr && !session.images.current_image->pixels)
        return ::testing::AssertionFailure() << "the record on display holds no pixels";
    for (const ImageRecord* r : {&session.images.image_a, &session.images.image_b}) {
        const char* which = r == &session.images.image_a ? "image_a" : "image_b";
        if (!transform_fields_ok(*r, which, why)) return ::testing::AssertionFailure() << why.str();
        why.str("");
        if (!r->pixels) continue;
        const ImageRecord& shown = *session.images.current_image;
        const std::size_t stride = 3u * r->width + r->row_padding;
        if (r->width != shown.width || r->height != shown.height || r->row_padding != shown.row_padding ||
            r->data_size != shown.data_size)
            return ::testing::AssertionFailure() << which << "'s size fields differ from the picture on display";
        if (r->row_padding != row_padding_for(r->width) ||
            static_cast<std::size_t>(r->data_size) != stride * r->height ||
            r->pixels.size() != static_cast<std::size_t>(r->data_size))
            return ::testing::AssertionFailure()
                   << which << ": block of " << r->pixels.size() << " bytes for " << r->width << "x" << r->height
                   << " (padding " << int(r->row_padding) << ", data_size " << r->data_size << ")";
    }
    return ::testing::AssertionSuccess();
}

bool open_picture(Session& session, const ImageRecord& record)
{
    const auto path = scratch_dir() / "opened.bmp";
    write_file(path, bmp_file_bytes(bmp_of(record)));
    fake.files.push_back(path);
    run_command(session, kFakeWindow, IDM_OPEN);
    return session.images.current_image == &session.images.image_a;
}

void give_pending_transform(ImageRecord& record, std::int32_t state, std::int32_t n)
{
    release_planes(record);
    const std::size_t count = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    auto plane = [count](float base) {
        auto p = HeapArray<float>::allocate(count);
        for (std::size_t i = 0; i < count; ++i) p[i] = base + static_cast<float>(i);
        return p;
    };
    record.block_size = n;
    record.transform_state = state;
    record.coef_re_r = plane(1.5f);
    record.coef_re_g = plane(2.5f);
    record.coef_re_b = plane(3.5f);
    if (state == TRANSFORM_FFT_LINEAR || state == TRANSFORM_FFT_2D) {
        record.coef_im_r = plane(-1.5f);
        record.coef_im_g = plane(-2.5f);
        record.coef_im_b = plane(-3.5f);
    }
}

bool client_area_is_blank(const Session& session)
{
    Frame frame;
    frame.resize(97, 61);
    ViewState view = session.view;
    render_client(frame, session.images, view);
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < 3 * frame.width; ++x)
            if (frame.row(y)[x] != 255) return false;
    return true;
}
