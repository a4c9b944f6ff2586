// Texts of Direct3D result codes.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <limits>
#include <set>
#include <string>

#include "errors/error_text.h"

namespace plovant {
namespace {

struct NamedCode {
    uint32_t code;
    const char* name;
};

// Every code that has a description of its own, with its DirectX name.
constexpr NamedCode kCodes[] = {
    {0, "D3D_OK"},
    {0x887602BC, "D3DERR_BADMAJORVERSION"},
    {0x887602BD, "D3DERR_BADMINORVERSION"},
    {0x88760802, "D3DERR_COLORKEYATTACHED"},
    {0x8876081E, "D3DERR_CONFLICTINGTEXTUREFILTER"},
    {0x88760826, "D3DERR_CONFLICTINGTEXTUREPALETTE"},
    {0x88760821, "D3DERR_CONFLICTINGRENDERSTATE"},
    {0x887602C3, "D3DERR_DEVICEAGGREGATED"},
    {0x887602C2, "D3DERR_INITFAILED"},
    {0x88760302, "D3DERR_INBEGIN"},
    {0x88760835, "D3DERR_INBEGINSTATEBLOCK"},
    {0x887602C1, "D3DERR_INVALID_DEVICE"},
    {0x887602DF, "D3DERR_INVALIDCURRENTVIEWPORT"},
    {0x88760824, "D3DERR_INVALIDMATRIX"},
    {0x887602E8, "D3DERR_INVALIDPALETTE"},
    {0x887602E0, "D3DERR_INVALIDPRIMITIVETYPE"},
    {0x887602E3, "D3DERR_INVALIDRAMPTEXTURE"},
    {0x88760834, "D3DERR_INVALIDSTATEBLOCK"},
    {0x88760800, "D3DERR_INVALIDVERTEXFORMAT"},
    {0x887602E1, "D3DERR_INVALIDVERTEXTYPE"},
    {0x887602EE, "D3DERR_LIGHT_SET_FAILED"},
    {0x887602EF, "D3DERR_LIGHTHASVIEWPORT"},
    {0x887602F0, "D3DERR_LIGHTNOTINTHISVIEWPORT"},
    {0x887602E4, "D3DERR_MATERIAL_CREATE_FAILED"},
    {0x887602E5, "D3DERR_MATERIAL_DESTROY_FAILED"},
    {0x887602E7, "D3DERR_MATERIAL_GETDATA_FAILED"},
    {0x887602E6, "D3DERR_MATERIAL_SETDATA_FAILED"},
    {0x887602DA, "D3DERR_MATRIX_CREATE_FAILED"},
    {0x887602DB, "D3DERR_MATRIX_DESTROY_FAILED"},
    {0x887602DD, "D3DERR_MATRIX_GETDATA_FAILED"},
    {0x887602DC, "D3DERR_MATRIX_SETDATA_FAILED"},
    {0x88760307, "D3DERR_NOCURRENTVIEWPORT"},
    {0x88760303, "D3DERR_NOTINBEGIN"},
    {0x88760836, "D3DERR_NOTINBEGINSTATEBLOCK"},
    {0x88760304, "D3DERR_NOVIEWPORTS"},
    {0x887602FA, "D3DERR_SCENE_BEGIN_FAILED"},
    {0x887602FB, "D3DERR_SCENE_END_FAILED"},
    {0x887602F8, "D3DERR_SCENE_IN_SCENE"},
    {0x887602F9, "D3DERR_SCENE_NOT_IN_SCENE"},
    {0x887602DE, "D3DERR_SETVIEWPORTDATA_FAILED"},
    {0x88760817, "D3DERR_STENCILBUFFER_NOTPRESENT"},
    {0x887602EB, "D3DERR_SURFACENOTINVIDMEM"},
    {0x887602E2, "D3DERR_TEXTURE_BADSIZE"},
    {0x887602D1, "D3DERR_TEXTURE_CREATE_FAILED"},
    {0x887602D2, "D3DERR_TEXTURE_DESTROY_FAILED"},
    {0x887602D9, "D3DERR_TEXTURE_GETSURF_FAILED"},
    {0x887602D5, "D3DERR_TEXTURE_LOAD_FAILED"},
    {0x887602D3, "D3DERR_TEXTURE_LOCK_FAILED"},
    {0x887602D7, "D3DERR_TEXTURE_LOCKED"},
    {0x887602D0, "D3DERR_TEXTURE_NO_SUPPORT"},
    {0x887602D8, "D3DERR_TEXTURE_NOT_LOCKED"},
    {0x887602D6, "D3DERR_TEXTURE_SWAP_FAILED"},
    {0x887602D4, "D3DERR_TEXTURE_UNLOCK_FAILED"},
    {0x8876081D, "D3DERR_TOOMANYOPERATIONS"},
    {0x88760823, "D3DERR_TOOMANYPRIMITIVES"},
    {0x8876081C, "D3DERR_UNSUPPORTEDALPHAARG"},
    {0x8876081B, "D3DERR_UNSUPPORTEDALPHAOPERATION"},
    {0x8876081A, "D3DERR_UNSUPPORTEDCOLORARG"},
    {0x88760819, "D3DERR_UNSUPPORTEDCOLOROPERATION"},
    {0x8876081F, "D3DERR_UNSUPPORTEDFACTORVALUE"},
    {0x88760822, "D3DERR_UNSUPPORTEDTEXTUREFILTER"},
    {0x8876080D, "D3DERR_VBUF_CREATE_FAILED"},
    {0x8876080E, "D3DERR_VERTEXBUFFERLOCKED"},
    {0x8876080C, "D3DERR_VERTEXBUFFEROPTIMIZED"},
    {0x8876080F, "D3DERR_VERTEXBUFFERUNLOCKFAILED"},
    {0x88760305, "D3DERR_VIEWPORTDATANOTSET"},
    {0x88760306, "D3DERR_VIEWPORTHASNODEVICE"},
    {0x88760818, "D3DERR_WRONGTEXTUREFORMAT"},
    {0x887602E9, "D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY"},
    {0x887602EA, "D3DERR_ZBUFF_NEEDS_VIDEOMEMORY"},
    {0x88760816, "D3DERR_ZBUFFER_NOTPRESENT"},
};
static_assert(std::size(kCodes) == 71);

std::string TextOf(uint32_t code) { return Direct3DErrorText(static_cast<int32_t>(code)); }

TEST(Direct3DErrorText, EveryCodeHasItsOwnText) {
    std::set<std::string> texts;
    for (const NamedCode& c : kCodes) {
        SCOPED_TRACE(c.name);
        const std::string text = TextOf(c.code);
        EXPECT_EQ(text.rfind("Unknown Error: ", 0), std::string::npos);
        EXPECT_TRUE(texts.insert(text).second) << "text shared with another code: " << text;
    }
    EXPECT_EQ(texts.size(), 71u);
}

TEST(Direct3DErrorText, TextsAreOneOrTwoSentencesEndingWithPeriodAndBlank) {
    for (const NamedCode& c : kCodes) {
        SCOPED_TRACE(c.name);
        const std::string text = TextOf(c.code);
        ASSERT_GE(text.size(), 3u);
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(text[0])));
        EXPECT_EQ(text.find("  "), std::string::npos);
        EXPECT_EQ(text.find('\n'), std::string::npos);
        if (c.code == 0x887602BC) {
            EXPECT_EQ(text.back(), '.');
        } else {
            EXPECT_EQ(text.substr(text.size() - 2), ". ");
        }
        // Sentences end with ". " inside the text and with the final period.
        int sentences = 0;
        for (size_t at = text.find(". "); at != std::string::npos; at = text.find(". ", at + 1)) {
            ++sentences;
        }
        if (text.back() == '.') ++sentences;
        EXPECT_GE(sentences, 1);
        EXPECT_LE(sentences, 2);
    }
}

TEST(Direct3DErrorText, QuotedTextsAreExact) {
    EXPECT_EQ(TextOf(0), "No error occurred. ");
    EXPECT_EQ(TextOf(0x887602BC),
              "The service you requested is unavailable in this major version of DirectX.");
    EXPECT_EQ(TextOf(0x887602BD),
              "The service you requested is available in this major version of DirectX, but "
              "not in this minor version. Get the latest version of the component runtime from "
              "Microsoft. ");
    EXPECT_EQ(TextOf(0x887602C2),
              "A rendering device could not be created because the new device could not be "
              "initialized. ");
    EXPECT_EQ(TextOf(0x88760302),
              "The requested operation cannot be completed while scene rendering is taking "
              "place. Try again after the scene is completed and the Direct3DDevice7.EndScene "
              "method (or equivalent method) is called. ");
    EXPECT_EQ(TextOf(0x88760303),
              "The requested rendering operation could not be completed because scene "
              "rendering has not begun. Call Direct3DDevice7.BeginScene to begin rendering "
              "then try again. ");
    EXPECT_EQ(TextOf(0x887602E1), "The vertex type specified by the application is invalid. ");
    EXPECT_EQ(TextOf(0x887602E2),
              "The dimensions of a current texture are invalid. This can occur when an "
              "application attempts to use a texture that has non-power-of-two dimensions with "
              "a device that requires them. ");
    EXPECT_EQ(TextOf(0x88760824),
              "The requested operation could not be completed because the combination of the "
              "currently set world, view, and projection matrices is invalid (the determinant "
              "of the combined matrix is zero). ");
}

TEST(Direct3DErrorText, UnknownCodesGiveTheSignedDecimalNumber) {
    EXPECT_EQ(TextOf(0x887601C2), "Unknown Error: -2005532222");  // a DirectDraw code
    EXPECT_EQ(Direct3DErrorText(1), "Unknown Error: 1");
    EXPECT_EQ(Direct3DErrorText(-1), "Unknown Error: -1");
    EXPECT_EQ(Direct3DErrorText(std::numeric_limits<int32_t>::min()),
              "Unknown Error: -2147483648");
    EXPECT_EQ(Direct3DErrorText(std::numeric_limits<int32_t>::max()),
              "Unknown Error: 2147483647");
    // D3DERR_INVALIDCALL belongs to later versions of Direct3D and has no row here.
    EXPECT_EQ(TextOf(0x8876086C), "Unknown Error: -2005530516");
}

TEST(Direct3DErrorText, OnlyExactCodesMatch) {
    // D3DERR_BADMAJORVERSION with the severity bit cleared, with another facility, and
    // its bare code number: none of them is that error.
    EXPECT_EQ(TextOf(0x087602BC), "Unknown Error: 141951676");
    EXPECT_EQ(TextOf(0x887702BC), "Unknown Error: -2005466436");
    EXPECT_EQ(TextOf(0x000002BC), "Unknown Error: 700");
}

}  // namespace
}  // namespace plovant
