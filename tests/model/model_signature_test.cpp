// What a failed model read says about the file's first bytes.
#include "model/model_signature.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "errors/error.h"
#include "model/rsm_model.h"

namespace plovant {
namespace {

std::string Describe(const std::vector<uint8_t>& bytes) { return DescribeNotAModel(bytes); }

std::vector<uint8_t> Grsm(uint8_t major, uint8_t minor) {
    return {'G', 'R', 'S', 'M', major, minor};
}

TEST(DescribeNotAModel, NamesWhatAFileStartsWithWhenItIsNotAModel) {
    EXPECT_EQ(Describe({}), "not an RSM model: the file is empty");
    EXPECT_EQ(Describe({'B', 'M', 0xF6, 0x00, 0x00, 0x00}),
              "not an RSM model: it starts with 'BM\\xF6\\x00' (a Windows bitmap)");
    EXPECT_EQ(Describe({0x89, 'P', 'N', 'G', 0x0D, 0x0A}),
              "not an RSM model: it starts with '\\x89PNG' (a PNG picture)");
    EXPECT_EQ(Describe({'G', 'R', 'G', 'N', 1, 7}),
              "not an RSM model: it starts with 'GRGN' (a map ground file, .gnd)");
    EXPECT_EQ(Describe({'x'}), "not an RSM model: it starts with 'x'");
    // A signature cut short, or written in another letter case, is not the signature.
    EXPECT_EQ(Describe({'G', 'R', 'S'}), "not an RSM model: it starts with 'GRS'");
    EXPECT_EQ(Describe({'g', 'r', 's', 'm', 1, 4}), "not an RSM model: it starts with 'grsm'");
    EXPECT_EQ(Describe({'G', 'R', 'S', 'm', 1, 4}), "not an RSM model: it starts with 'GRSm'");
}

TEST(DescribeNotAModel, ShowsBytesAtTheEdgesOfPrintableAsciiEscaped) {
    EXPECT_EQ(Describe({0x1F, 0x20, 0x7E, 0x7F}),
              "not an RSM model: it starts with '\\x1F ~\\x7F'");
    EXPECT_EQ(Describe({0x80, 0xFF, 0x00, '!'}),
              "not an RSM model: it starts with '\\x80\\xFF\\x00!'");
    // The quote and the backslash would make the quoted text ambiguous.
    EXPECT_EQ(Describe({'\'', '\\', 'a', 'b'}), "not an RSM model: it starts with '\\x27\\x5Cab'");
}

TEST(DescribeNotAModel, SaysWhichVersionWhenTheReaderDoesNotReadIt) {
    EXPECT_EQ(Describe(Grsm(1, 4)), "");
    EXPECT_EQ(Describe(Grsm(1, 5)), "");
    EXPECT_EQ(Describe(Grsm(1, 3)),
              "an RSM model of version 1.3, not one of the versions 1.4 and 1.5 the viewer reads");
    EXPECT_EQ(Describe(Grsm(1, 6)),
              "an RSM model of version 1.6, not one of the versions 1.4 and 1.5 the viewer reads");
    EXPECT_EQ(Describe(Grsm(2, 2)),
              "an RSM model of version 2.2, not one of the versions 1.4 and 1.5 the viewer reads");
    EXPECT_EQ(
        Describe(Grsm(0xFF, 0x80)),
        "an RSM model of version 255.128, not one of the versions 1.4 and 1.5 the viewer reads");
    EXPECT_EQ(Describe(Grsm(0, 0)),
              "an RSM model of version 0.0, not one of the versions 1.4 and 1.5 the viewer reads");
    // The version bytes are missing: the reader's own message is the one to give.
    EXPECT_EQ(Describe({'G', 'R', 'S', 'M'}), "");
    EXPECT_EQ(Describe({'G', 'R', 'S', 'M', 2}), "");
}

class ExplainReadFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("plovant_signature_" + std::to_string(getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::filesystem::path path = folder_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // The message of reading `path` as the viewer reads a model.
    Error ReadFailure(const std::filesystem::path& path) {
        RsmModel model;
        try {
            LoadRsm(path, model);
        } catch (const Error& failure) {
            return ExplainModelReadFailure(path, failure);
        }
        ADD_FAILURE() << "the read did not fail";
        return Error(0, "");
    }

    std::filesystem::path folder_;
};

TEST_F(ExplainReadFailureTest, ABitmapNamedAsAModelIsCalledABitmapFirst) {
    // A 2 x 1 bitmap: its header read as model fields makes a negative count.
    std::vector<uint8_t> bmp = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  40,
                                0,   0,   0,  2, 0, 0, 0, 1, 0, 0, 0,  1, 0, 24, 0};
    bmp.resize(62, 0xFF);
    const std::filesystem::path path = Write("picture.rsm", bmp);
    const Error error = ReadFailure(path);
    const std::string name = path.string();
    EXPECT_EQ(error.description().rfind(
                  name + ": not an RSM model: it starts with 'BM>\\x00' (a Windows bitmap). "
                         "Read as a model: ",
                  0),
              0u)
        << error.description();
    // The reader's own problem follows, without the file's name a second time.
    EXPECT_EQ(error.description().find(name, name.size()), std::string::npos)
        << error.description();
}

TEST_F(ExplainReadFailureTest, AnEmptyFileIsCalledEmptyAndKeepsTheReadersNumber) {
    const std::filesystem::path path = Write("empty.rsm", {});
    RsmModel model;
    Error original(0, "");
    try {
        LoadRsm(path, model);
    } catch (const Error& failure) {
        original = failure;
    }
    const Error error = ExplainModelReadFailure(path, original);
    EXPECT_EQ(error.number(), original.number());
    EXPECT_EQ(error.description(), path.string() +
                                       ": not an RSM model: the file is empty. Read as a model: " +
                                       original.description().substr(path.string().size() + 2));
}

TEST_F(ExplainReadFailureTest, AModelOfAnotherVersionSaysWhichAndWhatIsRead) {
    std::vector<uint8_t> bytes = Grsm(2, 3);
    bytes.resize(12, 0xAB);  // fields of another layout, cut short
    const std::filesystem::path path = Write("new.rsm", bytes);
    const Error error = ReadFailure(path);
    EXPECT_NE(error.description().find(
                  ": an RSM model of version 2.3, not one of the versions 1.4 and 1.5 the "
                  "viewer reads. Read as a model: "),
              std::string::npos)
        << error.description();
}

TEST_F(ExplainReadFailureTest, FailuresBeforeTheContentsAndGoodSignaturesPassUnchanged) {
    // A cut-off model of a version the reader reads: the reader's message alone.
    std::vector<uint8_t> bytes = Grsm(1, 4);
    bytes.resize(20, 0);
    const std::filesystem::path model = Write("cut.rsm", bytes);
    const Error cut(kErrInputPastEnd, model.string() + ": unexpected end of file");
    EXPECT_EQ(ExplainModelReadFailure(model, cut).description(), cut.description());

    // A missing file and a folder are reported as the read reported them.
    const Error missing(kErrFileNotFound, "gone.rsm: file not found");
    EXPECT_EQ(ExplainModelReadFailure(folder_ / "gone.rsm", missing).description(),
              missing.description());
    const Error folder(kErrFileNotFound, "x: file not found");
    EXPECT_EQ(ExplainModelReadFailure(folder_, folder).description(), folder.description());

    // A failure of another kind on a file that cannot be looked at keeps its text too.
    const Error odd(kErrInvalidFormat, "odd");
    EXPECT_EQ(ExplainModelReadFailure(folder_ / "gone.rsm", odd).description(), "odd");
}

}  // namespace
}  // namespace plovant
