// A Direct3D device that records the calls the frame code makes, in order, and (when
// asked) also performs them, so a test can check both the calls and the picture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "errors/error.h"
#include "platform/dx7/dx7.h"

namespace plovant::test_support {

struct DeviceCall {
    enum class Kind {
        Clear,
        SetTextureStageState,
        SetRenderState,
        SetTransform,
        BeginScene,
        EndScene,
        SetTexture,
        DrawPrimitive,
    };
    explicit DeviceCall(Kind k) : kind(k) {}
    Kind kind;
    // Arguments, as far as the call has them.
    int32_t a = 0;   // Clear: count; stage states: stage; render state / transform: state;
                     // SetTexture: stage; DrawPrimitive: primitive type
    int32_t b = 0;   // SetTextureStageState: type
    uint32_t value = 0;  // state value; Clear: flags; DrawPrimitive: vertex type
    uint32_t color = 0;  // Clear: colour; DrawPrimitive: flags
    float z = 0;         // Clear: depth
    uint32_t stencil = 0;
    std::vector<dx7::D3DRECT> rects;  // Clear
    D3DMATRIX matrix;                 // SetTransform
    dx7::SurfacePtr texture;          // SetTexture
    std::vector<D3DVERTEX> vertices;  // DrawPrimitive: the `count` vertices handed over
};

// A 32-bit render target with a 16-bit depth buffer attached, as set-up makes them.
inline dx7::SurfacePtr MakeRenderTarget(int width, int height) {
    dx7::DDSURFACEDESC2 desc;
    desc.dwFlags = dx7::DDSD_CAPS | dx7::DDSD_WIDTH | dx7::DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = dx7::DDSCAPS_OFFSCREENPLAIN | dx7::DDSCAPS_3DDEVICE;
    desc.ddpfPixelFormat = dx7::PixelFormatX8R8G8B8();
    desc.lPitch = width * 4;
    auto target = std::make_shared<dx7::DirectDrawSurface7>(desc);
    dx7::DDSURFACEDESC2 zdesc;
    zdesc.dwFlags = dx7::DDSD_CAPS | dx7::DDSD_WIDTH | dx7::DDSD_HEIGHT | dx7::DDSD_PIXELFORMAT;
    zdesc.dwWidth = width;
    zdesc.dwHeight = height;
    zdesc.lPitch = width * 2;
    zdesc.ddsCaps.dwCaps = dx7::DDSCAPS_ZBUFFER;
    zdesc.ddpfPixelFormat = dx7::PixelFormatZ16();
    target->AddAttachedSurface(std::make_shared<dx7::DirectDrawSurface7>(zdesc));
    return target;
}

class RecordingDevice : public dx7::Direct3DDevice7 {
public:
    // `perform`: also carry the calls out on the real device (the picture is drawn).
    explicit RecordingDevice(dx7::SurfacePtr target, bool perform = false)
        : Direct3DDevice7(std::move(target)), perform_(perform) {}
    explicit RecordingDevice(bool perform = false)
        : RecordingDevice(MakeRenderTarget(64, 48), perform) {}

    std::vector<DeviceCall> calls;

    // Makes call number `index` (0-based, counting every recorded call) throw `code`.
    void FailAtCall(size_t index, int32_t code) {
        fail_at_ = index;
        fail_code_ = code;
    }

    void Clear(int32_t count, const dx7::D3DRECT* rects, uint32_t flags, dx7::D3DCOLOR color,
               float z, uint32_t stencil) override {
        DeviceCall call(DeviceCall::Kind::Clear);
        call.a = count;
        call.value = flags;
        call.color = color;
        call.z = z;
        call.stencil = stencil;
        if (rects) call.rects.assign(rects, rects + count);
        Record(std::move(call));
        if (perform_) Direct3DDevice7::Clear(count, rects, flags, color, z, stencil);
    }
    void SetTextureStageState(int32_t stage, int32_t type, uint32_t value) override {
        DeviceCall call(DeviceCall::Kind::SetTextureStageState);
        call.a = stage;
        call.b = type;
        call.value = value;
        Record(std::move(call));
        if (perform_) Direct3DDevice7::SetTextureStageState(stage, type, value);
    }
    void SetRenderState(int32_t state, uint32_t value) override {
        DeviceCall call(DeviceCall::Kind::SetRenderState);
        call.a = state;
        call.value = value;
        Record(std::move(call));
        if (perform_) Direct3DDevice7::SetRenderState(state, value);
    }
    void SetTransform(int32_t state, const D3DMATRIX& matrix) override {
        DeviceCall call(DeviceCall::Kind::SetTransform);
        call.a = state;
        call.matrix = matrix;
        Record(std::move(call));
        if (perform_) Direct3DDevice7::SetTransform(state, matrix);
    }
    void BeginScene() override {
        Record(DeviceCall(DeviceCall::Kind::BeginScene));
        Direct3DDevice7::BeginScene();  // keeps InScene() true to the device's rules
    }
    void EndScene() override {
        Record(DeviceCall(DeviceCall::Kind::EndScene));
        Direct3DDevice7::EndScene();
    }
    void SetTexture(int32_t stage, dx7::SurfacePtr texture) override {
        DeviceCall call(DeviceCall::Kind::SetTexture);
        call.a = stage;
        call.texture = texture;
        Record(std::move(call));
        if (perform_) Direct3DDevice7::SetTexture(stage, std::move(texture));
    }
    void DrawPrimitive(int32_t primitive_type, uint32_t vertex_type, const D3DVERTEX* vertices,
                       int32_t count, uint32_t flags) override {
        DeviceCall call(DeviceCall::Kind::DrawPrimitive);
        call.a = primitive_type;
        call.value = vertex_type;
        call.color = flags;
        if (count > 0) call.vertices.assign(vertices, vertices + count);
        Record(std::move(call));
        if (perform_) Direct3DDevice7::DrawPrimitive(primitive_type, vertex_type, vertices, count, flags);
    }

    // The recorded calls of one kind, in order.
    std::vector<DeviceCall> Calls(DeviceCall::Kind kind) const {
        std::vector<DeviceCall> result;
        for (const DeviceCall& c : calls) {
            if (c.kind == kind) result.push_back(c);
        }
        return result;
    }

private:
    void Record(DeviceCall call) {
        const size_t index = calls.size();
        calls.push_back(std::move(call));
        if (fail_at_ && *fail_at_ == index) throw Error(fail_code_, "recorded failure");
    }

    bool perform_;
    std::optional<size_t> fail_at_;
    int32_t fail_code_ = 0;
};

}  // namespace plovant::test_support
