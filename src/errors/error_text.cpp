#include "errors/error_text.h"

#include <array>
#include <string_view>

namespace plovant {

namespace {

struct ResultText {
    int32_t code;
    std::string_view text;
};

// Result codes are unsigned 32-bit values in the headers; the device layer hands them on
// as signed numbers, so the table holds them that way.
constexpr int32_t Code(uint32_t value) { return static_cast<int32_t>(value); }

// Every text ends with a period and a blank, except the one for D3DERR_BADMAJORVERSION,
// which ends with the period alone.
constexpr std::array<ResultText, 71> kTexts{{
    {Code(0x00000000), "No error occurred. "},  // D3D_OK
    {Code(0x887602BC),  // D3DERR_BADMAJORVERSION
     "The service you requested is unavailable in this major version of DirectX."},
    {Code(0x887602BD),  // D3DERR_BADMINORVERSION
     "The service you requested is available in this major version of DirectX, but not in "
     "this minor version. Get the latest version of the component runtime from Microsoft. "},
    {Code(0x88760802),  // D3DERR_COLORKEYATTACHED
     "The application attempted to create a texture with a surface that uses a color key "
     "for transparency. "},
    {Code(0x8876081E),  // D3DERR_CONFLICTINGTEXTUREFILTER
     "The current texture filters cannot be used together. "},
    {Code(0x88760826),  // D3DERR_CONFLICTINGTEXTUREPALETTE
     "The current textures cannot be used simultaneously. This generally occurs when a "
     "multitexture device requires that all palettized textures enabled at the same time "
     "share the same palette. "},
    {Code(0x88760821),  // D3DERR_CONFLICTINGRENDERSTATE
     "The currently set render states cannot be used together. "},
    {Code(0x887602C3),  // D3DERR_DEVICEAGGREGATED
     "The Direct3DDevice7.SetRenderTarget method was called on a device that was retrieved "
     "from the render target surface. "},
    {Code(0x887602C2),  // D3DERR_INITFAILED
     "A rendering device could not be created because the new device could not be "
     "initialized. "},
    {Code(0x88760302),  // D3DERR_INBEGIN
     "The requested operation cannot be completed while scene rendering is taking place. "
     "Try again after the scene is completed and the Direct3DDevice7.EndScene method (or "
     "equivalent method) is called. "},
    {Code(0x88760835),  // D3DERR_INBEGINSTATEBLOCK
     "The operation cannot be completed while recording states for a state block. Complete "
     "recording by calling the Direct3DDevice7.EndStateBlock method, and try again. "},
    {Code(0x887602C1),  // D3DERR_INVALID_DEVICE
     "The requested device type is not valid. "},
    {Code(0x887602DF),  // D3DERR_INVALIDCURRENTVIEWPORT
     "The currently selected viewport is not valid. "},
    {Code(0x88760824),  // D3DERR_INVALIDMATRIX
     "The requested operation could not be completed because the combination of the "
     "currently set world, view, and projection matrices is invalid (the determinant of the "
     "combined matrix is zero). "},
    {Code(0x887602E8),  // D3DERR_INVALIDPALETTE
     "The palette associated with a surface is invalid. "},
    {Code(0x887602E0),  // D3DERR_INVALIDPRIMITIVETYPE
     "The primitive type specified by the application is invalid. "},
    {Code(0x887602E3),  // D3DERR_INVALIDRAMPTEXTURE
     "Ramp mode is being used, and the texture handle in the current material does not "
     "match the current texture handle that is set as a render state. "},
    {Code(0x88760834),  // D3DERR_INVALIDSTATEBLOCK
     "The state block handle is invalid. "},
    {Code(0x88760800),  // D3DERR_INVALIDVERTEXFORMAT
     "The combination of flexible vertex format flags specified by the application is not "
     "valid. "},
    {Code(0x887602E1),  // D3DERR_INVALIDVERTEXTYPE
     "The vertex type specified by the application is invalid. "},
    {Code(0x887602EE),  // D3DERR_LIGHT_SET_FAILED
     "The attempt to set lighting parameters for a light object failed. "},
    {Code(0x887602EF),  // D3DERR_LIGHTHASVIEWPORT
     "The requested operation failed because the light object is associated with another "
     "viewport. "},
    {Code(0x887602F0),  // D3DERR_LIGHTNOTINTHISVIEWPORT
     "The requested operation failed because the light object has not been associated with "
     "this viewport. "},
    {Code(0x887602E4),  // D3DERR_MATERIAL_CREATE_FAILED
     "The material could not be created. This typically occurs when no memory is available "
     "to allocate for the material. "},
    {Code(0x887602E5),  // D3DERR_MATERIAL_DESTROY_FAILED
     "The memory for the material could not be deallocated. "},
    {Code(0x887602E7),  // D3DERR_MATERIAL_GETDATA_FAILED
     "The material parameters could not be retrieved. "},
    {Code(0x887602E6),  // D3DERR_MATERIAL_SETDATA_FAILED
     "The material parameters could not be set. "},
    {Code(0x887602DA),  // D3DERR_MATRIX_CREATE_FAILED
     "The matrix could not be created. This can occur when no memory is available to "
     "allocate for the matrix. "},
    {Code(0x887602DB),  // D3DERR_MATRIX_DESTROY_FAILED
     "The memory for the matrix could not be deallocated. "},
    {Code(0x887602DD),  // D3DERR_MATRIX_GETDATA_FAILED
     "The matrix data could not be retrieved. This can occur when the matrix was not "
     "created by the current device. "},
    {Code(0x887602DC),  // D3DERR_MATRIX_SETDATA_FAILED
     "The matrix data could not be set. This can occur when the matrix was not created by "
     "the current device. "},
    {Code(0x88760307),  // D3DERR_NOCURRENTVIEWPORT
     "The viewport parameters could not be retrieved because none have been set. "},
    {Code(0x88760303),  // D3DERR_NOTINBEGIN
     "The requested rendering operation could not be completed because scene rendering has "
     "not begun. Call Direct3DDevice7.BeginScene to begin rendering then try again. "},
    {Code(0x88760836),  // D3DERR_NOTINBEGINSTATEBLOCK
     "The requested operation could not be completed because it is only valid while "
     "recording a state block. Call the Direct3DDevice7.BeginStateBlock method, and try "
     "again. "},
    {Code(0x88760304),  // D3DERR_NOVIEWPORTS
     "The requested operation failed because the device currently has no viewports "
     "associated with it. "},
    {Code(0x887602FA),  // D3DERR_SCENE_BEGIN_FAILED
     "Scene rendering could not begin. "},
    {Code(0x887602FB),  // D3DERR_SCENE_END_FAILED
     "Scene rendering could not be completed. "},
    {Code(0x887602F8),  // D3DERR_SCENE_IN_SCENE
     "Scene rendering could not begin because a previous scene was not completed by a call "
     "to the Direct3DDevice7.EndScene method. "},
    {Code(0x887602F9),  // D3DERR_SCENE_NOT_IN_SCENE
     "Scene rendering could not be completed because a scene was not started by a previous "
     "call to the Direct3DDevice7.BeginScene method. "},
    {Code(0x887602DE),  // D3DERR_SETVIEWPORTDATA_FAILED
     "The viewport parameters could not be set. "},
    {Code(0x88760817),  // D3DERR_STENCILBUFFER_NOTPRESENT
     "The requested stencil buffer operation could not be completed because there is no "
     "stencil buffer attached to the render target surface. "},
    {Code(0x887602EB),  // D3DERR_SURFACENOTINVIDMEM
     "The device could not be created because the render target surface is not located in "
     "video memory. Hardware-accelerated devices require video-memory render target "
     "surfaces. "},
    {Code(0x887602E2),  // D3DERR_TEXTURE_BADSIZE
     "The dimensions of a current texture are invalid. This can occur when an application "
     "attempts to use a texture that has non-power-of-two dimensions with a device that "
     "requires them. "},
    {Code(0x887602D1),  // D3DERR_TEXTURE_CREATE_FAILED
     "The texture handle for the texture could not be retrieved from the driver. "},
    {Code(0x887602D2),  // D3DERR_TEXTURE_DESTROY_FAILED
     "The device was unable to deallocate the texture memory. "},
    {Code(0x887602D9),  // D3DERR_TEXTURE_GETSURF_FAILED
     "The DirectDraw surface used to create the texture could not be retrieved. "},
    {Code(0x887602D5),  // D3DERR_TEXTURE_LOAD_FAILED
     "The texture could not be loaded. "},
    {Code(0x887602D3),  // D3DERR_TEXTURE_LOCK_FAILED
     "The texture could not be locked. "},
    {Code(0x887602D7),  // D3DERR_TEXTURE_LOCKED
     "The requested operation could not be completed because the texture surface is "
     "currently locked. "},
    {Code(0x887602D0),  // D3DERR_TEXTURE_NO_SUPPORT
     "The device does not support texture mapping. "},
    {Code(0x887602D8),  // D3DERR_TEXTURE_NOT_LOCKED
     "The requested operation could not be completed because the texture surface is not "
     "locked. "},
    {Code(0x887602D6),  // D3DERR_TEXTURE_SWAP_FAILED
     "The texture handles could not be swapped. "},
    {Code(0x887602D4),  // D3DERR_TEXTURE_UNLOCK_FAILED
     "The texture surface could not be unlocked. "},
    {Code(0x8876081D),  // D3DERR_TOOMANYOPERATIONS
     "The application is requesting more texture-filtering operations than the device "
     "supports. "},
    {Code(0x88760823),  // D3DERR_TOOMANYPRIMITIVES
     "The device is unable to render the provided number of primitives in a single pass. "},
    {Code(0x8876081C),  // D3DERR_UNSUPPORTEDALPHAARG
     "The device does not support one of the specified texture-blending arguments for the "
     "alpha channel. "},
    {Code(0x8876081B),  // D3DERR_UNSUPPORTEDALPHAOPERATION
     "The device does not support one of the specified texture-blending operations for the "
     "alpha channel. "},
    {Code(0x8876081A),  // D3DERR_UNSUPPORTEDCOLORARG
     "The device does not support one of the specified texture-blending arguments for color "
     "values. "},
    {Code(0x88760819),  // D3DERR_UNSUPPORTEDCOLOROPERATION
     "The device does not support one of the specified texture-blending operations for "
     "color values. "},
    {Code(0x8876081F),  // D3DERR_UNSUPPORTEDFACTORVALUE
     "The specified texture factor value is not supported by the device. "},
    {Code(0x88760822),  // D3DERR_UNSUPPORTEDTEXTUREFILTER
     "The specified texture filter is not supported by the device. "},
    {Code(0x8876080D),  // D3DERR_VBUF_CREATE_FAILED
     "The vertex buffer could not be created. This can happen when there is insufficient "
     "memory to allocate a vertex buffer. "},
    {Code(0x8876080E),  // D3DERR_VERTEXBUFFERLOCKED
     "The requested operation could not be completed because the vertex buffer is locked. "},
    {Code(0x8876080C),  // D3DERR_VERTEXBUFFEROPTIMIZED
     "The requested operation could not be completed because the vertex buffer is "
     "optimized. The contents of optimized vertex buffers are driver-specific and "
     "considered private. "},
    {Code(0x8876080F),  // D3DERR_VERTEXBUFFERUNLOCKFAILED
     "The vertex buffer could not be unlocked because the vertex buffer memory was "
     "overwritten. Be sure that your application does not write to memory addresses outside "
     "the boundaries of the vertex buffer. "},
    {Code(0x88760305),  // D3DERR_VIEWPORTDATANOTSET
     "The requested operation could not be completed because viewport parameters have not "
     "yet been set. Set the viewport parameters by calling the Direct3DDevice7.SetViewport "
     "method, and try again. "},
    {Code(0x88760306),  // D3DERR_VIEWPORTHASNODEVICE
     "The requested operation could not be completed because the viewport has not yet been "
     "associated with a device. Associate the viewport with a rendering device, and try "
     "again. "},
    {Code(0x88760818),  // D3DERR_WRONGTEXTUREFORMAT
     "The pixel format of the texture surface is not valid. "},
    {Code(0x887602E9),  // D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY
     "The requested operation could not be completed because the specified device requires "
     "system-memory depth-buffer surfaces. Software rendering devices require system-memory "
     "depth buffers. "},
    {Code(0x887602EA),  // D3DERR_ZBUFF_NEEDS_VIDEOMEMORY
     "The requested operation could not be completed because the specified device requires "
     "video-memory depth-buffer surfaces. Hardware-accelerated devices require video-memory "
     "depth buffers. "},
    {Code(0x88760816),  // D3DERR_ZBUFFER_NOTPRESENT
     "The requested operation could not be completed because the render target surface does "
     "not have an attached depth buffer. "},
}};

}  // namespace

std::string Direct3DErrorText(int32_t code) {
    for (const ResultText& row : kTexts) {
        if (row.code == code) return std::string(row.text);
    }
    return "Unknown Error: " + std::to_string(code);
}

}  // namespace plovant
