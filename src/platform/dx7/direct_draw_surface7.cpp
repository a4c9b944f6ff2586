#include "platform/dx7/direct_draw_surface7.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/dx7/direct_draw7.h"
#include "platform/dx7/dx_error.h"
#include "platform/dx7/pixel_format.h"
#include "platform/dx7/raster/instruction_set.h"
#include "platform/platform_window.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace plovant::dx7 {

namespace {

constexpr uint32_t kBltFlagsKnown = DDBLT_WAIT | DDBLT_ASYNC | DDBLT_DONOTWAIT | DDBLT_KEYSRC;

FormatLayout LayoutOf(const DDPIXELFORMAT& format) {
    FormatLayout layout;
    DescribeFormat(format, layout);
    return layout;
}

uint32_t ReadRaw(const uint8_t* row, int x, int bytes) {
    if (bytes == 4) {
        uint32_t v;
        std::memcpy(&v, row + static_cast<ptrdiff_t>(x) * 4, 4);
        return v;
    }
    uint16_t v;
    std::memcpy(&v, row + static_cast<ptrdiff_t>(x) * 2, 2);
    return v;
}

void WriteRaw(uint8_t* row, int x, int bytes, uint32_t raw) {
    if (bytes == 4) {
        std::memcpy(row + static_cast<ptrdiff_t>(x) * 4, &raw, 4);
    } else {
        const uint16_t v = static_cast<uint16_t>(raw);
        std::memcpy(row + static_cast<ptrdiff_t>(x) * 2, &v, 2);
    }
}

std::string RectText(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
           std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

// Source coordinate of destination coordinate i when `source_size` pixels are stretched
// onto `dest_size`: the source pixel under the centre of the destination pixel.
int SourceIndex(int64_t i, int64_t source_size, int64_t dest_size) {
    return static_cast<int>(((2 * i + 1) * source_size) / (2 * dest_size));
}


// out[i] = in[i] | 0xFF000000 for `count` pixels: X8R8G8B8 to an opaque RGB32 picture,
// 16 bytes at a time where SSE2 is there (the compiler leaves this loop scalar at -O2).
void CopyOpaque(uint32_t* out, const uint32_t* in, int count) {
    int i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 4 <= count; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(v, alpha));
    }
#endif
    for (; i < count; ++i) out[i] = in[i] | 0xFF000000u;
}

}  // namespace

DirectDrawSurface7::DirectDrawSurface7(const DDSURFACEDESC2& desc) : desc_(desc) {
    if (!IsPrimary()) {
        const size_t bytes = static_cast<size_t>(desc_.lPitch) * static_cast<size_t>(desc_.dwHeight);
        pixels_.assign((bytes + 3) / 4, 0u);
    }
}

void DirectDrawSurface7::GetSurfaceDesc(DDSURFACEDESC2& desc) const { desc = desc_; }

void DirectDrawSurface7::SetClipper(ClipperPtr clipper) { clipper_ = std::move(clipper); }

void DirectDrawSurface7::AddAttachedSurface(SurfacePtr surface) {
    if (!surface) ThrowDxError(DDERR_INVALIDPARAMS, "DirectDrawSurface7.AddAttachedSurface: no surface was given.");
    if (!surface->IsZBuffer() || IsZBuffer() || IsPrimary() || surface.get() == this ||
        surface->Width() != Width() || surface->Height() != Height()) {
        ThrowDxError(DDERR_CANNOTATTACHSURFACE,
                     "DirectDrawSurface7.AddAttachedSurface: only a depth buffer of the same size "
                     "can be attached to a colour surface.");
    }
    if (zbuffer_) {
        ThrowDxError(DDERR_SURFACEALREADYATTACHED,
                     "DirectDrawSurface7.AddAttachedSurface: a depth buffer is already attached.");
    }
    zbuffer_ = std::move(surface);
}

void DirectDrawSurface7::SetColorKey(uint32_t flags, const DDCOLORKEY& key) {
    if ((flags & ~DDCKEY_COLORSPACE) != DDCKEY_SRCBLT) {
        ThrowDxError(DDERR_UNSUPPORTED,
                     "DirectDrawSurface7.SetColorKey: only source blit colour keys are supported.");
    }
    DDCOLORKEY stored = key;
    if (!(flags & DDCKEY_COLORSPACE)) stored.dwColorSpaceHighValue = stored.dwColorSpaceLowValue;
    desc_.ddckCKSrcBlt = stored;
    desc_.dwFlags |= DDSD_CKSRCBLT;
    has_src_key_ = true;
    ++version_;
}

void DirectDrawSurface7::GetColorKey(uint32_t flags, DDCOLORKEY& key) const {
    if (flags != DDCKEY_SRCBLT) {
        ThrowDxError(DDERR_UNSUPPORTED,
                     "DirectDrawSurface7.GetColorKey: only source blit colour keys are supported.");
    }
    if (!has_src_key_) ThrowDxError(DDERR_NOCOLORKEY, "DirectDrawSurface7.GetColorKey: no colour key is set.");
    key = desc_.ddckCKSrcBlt;
}

bool DirectDrawSurface7::IsKeyed(uint32_t raw, uint32_t significant) const {
    const uint32_t v = raw & significant;
    return v >= (desc_.ddckCKSrcBlt.dwColorSpaceLowValue & significant) &&
           v <= (desc_.ddckCKSrcBlt.dwColorSpaceHighValue & significant);
}

void DirectDrawSurface7::CheckDestRect(const RECT& r, const char* operation) const {
    if (r.left < 0 || r.top < 0 || r.right > Width() || r.bottom > Height() || r.left > r.right ||
        r.top > r.bottom) {
        ThrowDxError(DDERR_INVALIDRECT, std::string("DirectDrawSurface7.") + operation +
                                            ": the destination rectangle " + RectText(r) +
                                            " does not lie inside the " + std::to_string(Width()) +
                                            " x " + std::to_string(Height()) + " surface.");
    }
}

void DirectDrawSurface7::Blt(const RECT& dest_rect, const SurfacePtr& source_ptr,
                             const RECT& src_rect, uint32_t flags) {
    raster::ClearUpperVectorState();
    if (!source_ptr) ThrowDxError(DDERR_INVALIDPARAMS, "DirectDrawSurface7.Blt: no source surface was given.");
    if (flags & ~kBltFlagsKnown) ThrowDxError(DDERR_INVALIDPARAMS, "DirectDrawSurface7.Blt: unsupported flags.");
    const DirectDrawSurface7& source = *source_ptr;
    if (IsZBuffer() || source.IsZBuffer()) {
        ThrowDxError(DDERR_INVALIDSURFACETYPE, "DirectDrawSurface7.Blt: depth buffers cannot be blitted.");
    }
    if (source.IsPrimary()) ThrowDxError(DDERR_UNSUPPORTED, "DirectDrawSurface7.Blt: cannot read from the screen.");
    if (src_rect.left < 0 || src_rect.top < 0 || src_rect.right > source.Width() ||
        src_rect.bottom > source.Height() || src_rect.left >= src_rect.right ||
        src_rect.top >= src_rect.bottom) {
        ThrowDxError(DDERR_INVALIDRECT, "DirectDrawSurface7.Blt: the source rectangle " +
                                            RectText(src_rect) + " does not lie inside the " +
                                            std::to_string(source.Width()) + " x " +
                                            std::to_string(source.Height()) + " source.");
    }
    const bool keyed = (flags & DDBLT_KEYSRC) != 0;
    if (keyed && !source.has_src_key_) ThrowDxError(DDERR_NOCOLORKEY, "DirectDrawSurface7.Blt: the source has no colour key.");

    if (IsPrimary()) {
        if (keyed) ThrowDxError(DDERR_UNSUPPORTED, "DirectDrawSurface7.Blt: keyed blits onto the screen are not supported.");
        BltToWindow(dest_rect, source, src_rect);
        return;
    }
    if (dest_rect.left > dest_rect.right || dest_rect.top > dest_rect.bottom) CheckDestRect(dest_rect, "Blt");
    if (dest_rect.left == dest_rect.right || dest_rect.top == dest_rect.bottom) return;
    CheckDestRect(dest_rect, "Blt");

    // A blit within one surface reads from a copy, so overlapping rectangles stay intact.
    std::vector<uint32_t> copy;
    const uint8_t* src_bits = source.Bits();
    if (&source == this) {
        copy = pixels_;
        src_bits = reinterpret_cast<const uint8_t*>(copy.data());
    }
    const FormatLayout src_layout = LayoutOf(source.PixelFormat());
    const FormatLayout dst_layout = LayoutOf(PixelFormat());
    const bool same_format = source.PixelFormat() == PixelFormat();
    const uint32_t significant = SignificantBits(src_layout);
    const int64_t sw = src_rect.right - src_rect.left, sh = src_rect.bottom - src_rect.top;
    const int64_t dw = dest_rect.right - dest_rect.left, dh = dest_rect.bottom - dest_rect.top;
    x_map_.resize(static_cast<size_t>(dw));
    for (int64_t i = 0; i < dw; ++i) x_map_[static_cast<size_t>(i)] = src_rect.left + SourceIndex(i, sw, dw);
    uint8_t* dst_bits = reinterpret_cast<uint8_t*>(pixels_.data());
    for (int64_t j = 0; j < dh; ++j) {
        const int sy = src_rect.top + SourceIndex(j, sh, dh);
        const uint8_t* in = src_bits + static_cast<ptrdiff_t>(sy) * source.Pitch();
        uint8_t* out = dst_bits + static_cast<ptrdiff_t>(dest_rect.top + j) * Pitch();
        for (int64_t i = 0; i < dw; ++i) {
            const uint32_t raw = ReadRaw(in, x_map_[static_cast<size_t>(i)], src_layout.bytes_per_pixel);
            if (keyed && source.IsKeyed(raw, significant)) continue;
            const uint32_t value = same_format ? raw : ArgbToRaw(dst_layout, RawToArgb(src_layout, raw));
            WriteRaw(out, static_cast<int>(dest_rect.left + i), dst_layout.bytes_per_pixel, value);
        }
    }
    ++version_;
}

void DirectDrawSurface7::BltToWindow(const RECT& dest, const DirectDrawSurface7& source,
                                     const RECT& src) {
    if (dest.left > dest.right || dest.top > dest.bottom) {
        ThrowDxError(DDERR_INVALIDRECT, "DirectDrawSurface7.Blt: the destination rectangle " +
                                            RectText(dest) + " is inverted.");
    }
    PlatformWindow* window = clipper_ ? clipper_->GetHWnd() : nullptr;
    if (window == nullptr || dest.left == dest.right || dest.top == dest.bottom) return;

    // The part of the destination that lies over the window's drawing area.
    const QRect area = window->DrawingArea();
    const int64_t left = std::max<int64_t>(dest.left, area.left());
    const int64_t top = std::max<int64_t>(dest.top, area.top());
    const int64_t right = std::min<int64_t>(dest.right, int64_t{area.left()} + area.width());
    const int64_t bottom = std::min<int64_t>(dest.bottom, int64_t{area.top()} + area.height());
    if (left >= right || top >= bottom) return;

    const int width = static_cast<int>(right - left), height = static_cast<int>(bottom - top);
    const QPoint at(static_cast<int>(left - area.left()), static_cast<int>(top - area.top()));
    // Straight into the window's picture where it offers one, else through a picture of
    // the blitted rectangle.
    QImage* picture = window->DrawablePicture();
    const bool direct = picture != nullptr && picture->size() == area.size() &&
                        picture->format() == QImage::Format_RGB32;
    QPoint origin = at;  // where the rectangle lies in the picture drawn into
    if (!direct) {
        if (present_buffer_.width() != width || present_buffer_.height() != height) {
            present_buffer_ = QImage(width, height, QImage::Format_RGB32);
        }
        picture = &present_buffer_;
        origin = QPoint(0, 0);
    }
    const FormatLayout layout = LayoutOf(source.PixelFormat());
    const bool xrgb = layout.bytes_per_pixel == 4 && layout.r.mask == 0xFF0000 &&
                      layout.g.mask == 0xFF00 && layout.b.mask == 0xFF;
    const int64_t sw = src.right - src.left, sh = src.bottom - src.top;
    const int64_t dw = int64_t{dest.right} - dest.left, dh = int64_t{dest.bottom} - dest.top;
    x_map_.resize(static_cast<size_t>(width));
    for (int i = 0; i < width; ++i) {
        x_map_[static_cast<size_t>(i)] = src.left + SourceIndex(left + i - dest.left, sw, dw);
    }
    const bool one_to_one = sw == dw;
    const uint8_t* bits = source.Bits();
    for (int j = 0; j < height; ++j) {
        const int sy = src.top + SourceIndex(top + j - dest.top, sh, dh);
        const uint8_t* in = bits + static_cast<ptrdiff_t>(sy) * source.Pitch();
        auto* out = reinterpret_cast<uint32_t*>(picture->scanLine(origin.y() + j)) + origin.x();
        if (xrgb && one_to_one) {
            const auto* row = reinterpret_cast<const uint32_t*>(in) + x_map_[0];
            CopyOpaque(out, row, width);
        } else if (xrgb) {
            const auto* row = reinterpret_cast<const uint32_t*>(in);
            for (int i = 0; i < width; ++i) out[i] = row[x_map_[static_cast<size_t>(i)]] | 0xFF000000u;
        } else {
            for (int i = 0; i < width; ++i) {
                const uint32_t raw = ReadRaw(in, x_map_[static_cast<size_t>(i)], layout.bytes_per_pixel);
                out[i] = RawToArgb(layout, raw) | 0xFF000000u;
            }
        }
    }
    if (direct)
        window->PictureDrawn(QRect(at, QSize(width, height)));
    else
        window->PresentPicture(present_buffer_, at);
}

void DirectDrawSurface7::BltColorFill(const RECT& dest_rect, uint32_t color) {
    if (IsPrimary()) {
        ThrowDxError(DDERR_UNSUPPORTED, "DirectDrawSurface7.BltColorFill: cannot fill the screen.");
    }
    CheckDestRect(dest_rect, "BltColorFill");
    const int bytes = BytesPerPixel();
    uint8_t* bits = reinterpret_cast<uint8_t*>(pixels_.data());
    for (int y = dest_rect.top; y < dest_rect.bottom; ++y) {
        uint8_t* row = bits + static_cast<ptrdiff_t>(y) * Pitch();
        for (int x = dest_rect.left; x < dest_rect.right; ++x) WriteRaw(row, x, bytes, color);
    }
    ++version_;
}

const uint8_t* DirectDrawSurface7::Bits() const {
    return IsPrimary() ? nullptr : reinterpret_cast<const uint8_t*>(pixels_.data());
}

uint8_t* DirectDrawSurface7::MutableBits() {
    if (IsPrimary()) return nullptr;
    ++version_;
    return reinterpret_cast<uint8_t*>(pixels_.data());
}

uint32_t DirectDrawSurface7::GetPixel(int x, int y) const {
    if (IsPrimary()) ThrowDxError(DDERR_UNSUPPORTED, "DirectDrawSurface7.GetPixel: the screen cannot be read.");
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) {
        ThrowDxError(DDERR_INVALIDRECT, "DirectDrawSurface7.GetPixel: (" + std::to_string(x) + ", " +
                                            std::to_string(y) + ") lies outside the surface.");
    }
    return ReadRaw(Bits() + static_cast<ptrdiff_t>(y) * Pitch(), x, BytesPerPixel());
}

void DirectDrawSurface7::SetPixel(int x, int y, uint32_t raw) {
    if (IsPrimary()) ThrowDxError(DDERR_UNSUPPORTED, "DirectDrawSurface7.SetPixel: the screen cannot be written.");
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) {
        ThrowDxError(DDERR_INVALIDRECT, "DirectDrawSurface7.SetPixel: (" + std::to_string(x) + ", " +
                                            std::to_string(y) + ") lies outside the surface.");
    }
    WriteRaw(reinterpret_cast<uint8_t*>(pixels_.data()) + static_cast<ptrdiff_t>(y) * Pitch(), x,
             BytesPerPixel(), raw);
    ++version_;
}

uint32_t DirectDrawSurface7::GetPixelARGB(int x, int y) const {
    return RawToArgb(LayoutOf(PixelFormat()), GetPixel(x, y));
}

QImage DirectDrawSurface7::ToImage() const {
    if (IsPrimary()) return {};
    const FormatLayout layout = LayoutOf(PixelFormat());
    QImage image(Width(), Height(), layout.a.bits ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const uint8_t* bits = Bits();
    for (int y = 0; y < Height(); ++y) {
        const uint8_t* in = bits + static_cast<ptrdiff_t>(y) * Pitch();
        auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < Width(); ++x) {
            const uint32_t argb = RawToArgb(layout, ReadRaw(in, x, layout.bytes_per_pixel));
            out[x] = layout.a.bits ? argb : (argb | 0xFF000000u);
        }
    }
    return image;
}

const raster::Texture& DirectDrawSurface7::RasterTexture() const {
    if (texels_version_ == version_ && !texels_.empty()) return texture_;
    const FormatLayout layout = LayoutOf(PixelFormat());
    const uint32_t significant = SignificantBits(layout);
    texels_.resize(static_cast<size_t>(Width()) * static_cast<size_t>(Height()));
    const uint8_t* bits = Bits();
    bool any_keyed = false;
    for (int y = 0; y < Height(); ++y) {
        const uint8_t* in = bits + static_cast<ptrdiff_t>(y) * Pitch();
        uint32_t* out = texels_.data() + static_cast<size_t>(y) * static_cast<size_t>(Width());
        for (int x = 0; x < Width(); ++x) {
            const uint32_t raw = ReadRaw(in, x, layout.bytes_per_pixel);
            const uint32_t rgb = RawToArgb(layout, raw) & 0x00FFFFFFu;
            const bool keyed = has_src_key_ && IsKeyed(raw, significant);
            any_keyed = any_keyed || keyed;
            out[x] = keyed ? rgb : (rgb | raster::kOpaqueTexelMask);
        }
    }
    texture_.has_keyed_texels = any_keyed;
    texture_.texels = texels_.data();
    texture_.width = Width();
    texture_.height = Height();
    texture_.pitch = Width();
    texture_.quads = raster::BuildTexelQuads(texture_, quads_) ? quads_.data() : nullptr;
    texels_version_ = version_;
    return texture_;
}

raster::Target DirectDrawSurface7::RasterTarget() {
    raster::Target target;
    if (IsPrimary() || BytesPerPixel() != 4 || IsZBuffer()) return target;
    target.color = pixels_.data();
    target.color_pitch = Pitch() / 4;
    target.width = Width();
    target.height = Height();
    ++version_;
    if (zbuffer_) {
        target.depth = reinterpret_cast<uint16_t*>(zbuffer_->MutableBits());
        target.depth_pitch = zbuffer_->Pitch() / 2;
    }
    return target;
}

}  // namespace plovant::dx7
