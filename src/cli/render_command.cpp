// plovant-cli render FILE -o OUT.png: opens a model as the viewer does, runs the frame loop
// for a number of frames in an off-screen window and writes the last frame as PNG.
#include <QImage>
#include <QImageWriter>
#include <QString>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/settings.h"
#include "archive/grf_archive.h"
#include "cli/archive_models.h"
#include "cli/cli_support.h"
#include "cli/command.h"
#include "model/binary_file.h"
#include "model/code_page.h"
#include "platform/dx7/direct_draw7.h"
#include "platform/platform_window.h"
#include "render/model_view.h"
#include "render/render_scene.h"
#include "render/scene_model.h"
#include "scene/scene_reader.h"

namespace plovant::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp =
    "Usage: plovant-cli render FILE -o OUT.png [OPTIONS]\n"
    "\n"
    "Opens the model FILE as the viewer does (reads it, centres its first mesh, puts the\n"
    "camera in front of it, loads its textures from the data folder with the stand-by\n"
    "bitmap for missing ones), runs the frame loop for a number of frames and writes the\n"
    "last frame's picture as a PNG, BMP or JPEG file, as the name of OUT ends.\n"
    "\n"
    "  -o OUT.png      the picture to write (replaced only when it is complete); its name\n"
    "                  ends in .png, .bmp, .jpg or .jpeg (any letter case)\n"
    "  --frames N      frames to run, N >= 1 (default 1); the model turns a little each frame\n"
    "  --size WxH      picture size in pixels (default 427x389, the viewer's); each side\n"
    "                  from 1 to 16384, at most 67108864 pixels in all (8192x8192,\n"
    "                  16384x4096): the most one drawing surface of 4-byte pixels holds\n"
    "  --data DIR      the game's data folder, whose texture subfolder holds the bitmaps\n"
    "                  (default: the folder in the settings file dovekit.ini: beside the\n"
    "                  program, or ~/.config/plovant/ where the program's folder is\n"
    "                  read-only)\n"
    "                  DIR may also be a GRF archive (a file ending in .grf): the\n"
    "                  textures then come from its data\\texture\\. A DIR that does\n"
    "                  not exist is an error. Each texture not found is named in a\n"
    "                  warning and drawn with the stand-by bitmap\n"
    "  --grf ARCHIVE   FILE is a model inside the GRF archive ARCHIVE (letter case and\n"
    "                  \"\\\" or \"/\" do not matter; a pattern must match one model);\n"
    "                  textures come from the same archive unless --data is given\n"
    "  --wireframe     draw the edges of the faces only\n"
    "  --no-smooth     nearest-texel texture magnification\n"
    "  --untextured    draw the faces without textures\n"
    "  --tilt DEG      the model's tilt about X in degrees (default 120)\n"
    "  --yaw DEG       turn the camera to the side (default 0)\n"
    "  --pitch DEG     tilt the camera up or down (default 0)\n"
    "  --distance D    the camera's distance in front of the model (default 1.5 times the\n"
    "                  largest side of its first mesh)\n"
    "  --scene         read FILE as an RSM file of any version (1.1 to 1.6, 2.2, 2.3) and\n"
    "                  draw every node placed by its node tree and key frames, the camera\n"
    "                  framed on the whole model; each texture not found is named in a\n"
    "                  warning\n"
    "  --time MS       with --scene: the moment of the animation to draw, in milliseconds\n"
    "                  from 0 (default 0; past the animation's end, its end)\n"
    "\n"
    "Without --scene, a file the viewer's first reader refuses, or whose name ends in\n"
    "\"rsm2\", is drawn as --scene draws it at time 0, as the viewer shows it.\n";

constexpr int kDefaultWidth = 427, kDefaultHeight = 389;
constexpr int kMaxSide = dx7::kMaxSurfaceSide;
// The device draws into surfaces of 4-byte pixels, each at most kMaxSurfaceBytes.
constexpr int64_t kMaxPixels = dx7::kMaxSurfaceBytes / 4;
constexpr long kMaxFrames = 1000000;

struct Options {
    std::string input;
    std::string output;
    long frames = 1;
    int width = kDefaultWidth, height = kDefaultHeight;
    std::optional<std::string> data;
    std::optional<std::string> archive;  // --grf
    bool wireframe = false;
    bool smooth = true;
    bool textured = true;
    float tilt = kStartTilt;
    double yaw = 0, pitch = 0;
    std::optional<float> distance;
    bool scene = false;
    std::optional<double> time_ms;
};

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) return false;
    if constexpr (std::is_floating_point_v<T>) return std::isfinite(value);
    return true;
}

bool ParseSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    return ParseNumber(text.substr(0, x), width) && ParseNumber(text.substr(x + 1), height) &&
           width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           int64_t{width} * height <= kMaxPixels;
}

// The picture format the name of `output` asks for ("png", "bmp", "jpg"), from its
// ending in any letter case; empty when the ending names none this program writes.
std::string PictureFormat(const std::string& output) {
    std::string ending = PathText(fs::u8path(output).extension());
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string format = ending == ".png"                        ? "png"
                               : ending == ".bmp"                      ? "bmp"
                               : ending == ".jpg" || ending == ".jpeg" ? "jpg"
                                                                       : "";
    // JPEG needs Qt's image plug-in; where it is missing, the name is refused up front.
    if (format.empty() || !QImageWriter::supportedImageFormats().contains(format.c_str())) {
        return {};
    }
    return format;
}

// Parses the arguments; returns an exit code when the command must stop.
int Parse(const std::vector<std::string>& args, Options& options) {
    std::vector<std::string> inputs;
    bool only_files = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (only_files || a.empty() || a[0] != '-') {
            inputs.push_back(a);
            continue;
        }
        if (a == "--") {
            only_files = true;
            continue;
        }
        if (a == "--wireframe") {
            options.wireframe = true;
            continue;
        }
        if (a == "--no-smooth") {
            options.smooth = false;
            continue;
        }
        if (a == "--untextured") {
            options.textured = false;
            continue;
        }
        if (a == "--scene") {
            options.scene = true;
            continue;
        }
        const bool takes_value = a == "-o" || a == "--frames" || a == "--size" || a == "--data" ||
                                 a == "--grf" || a == "--tilt" || a == "--yaw" || a == "--pitch" ||
                                 a == "--distance" || a == "--time";
        if (!takes_value) return UsageError("render", "unknown option " + a);
        if (i + 1 == args.size()) return UsageError("render", a + " needs a value");
        const std::string& v = args[++i];
        const auto bad = [&](const std::string& what) {
            return UsageError("render", a + " " + v + ": " + what);
        };
        if (a == "-o") {
            if (v.empty()) return bad("needs a file name");
            if (PictureFormat(v).empty()) {
                return bad(
                    "cannot write a picture of that kind: the name must end in .png, "
                    ".bmp, .jpg or .jpeg");
            }
            options.output = v;
        } else if (a == "--frames") {
            if (!ParseNumber(v, options.frames) || options.frames < 1 ||
                options.frames > kMaxFrames) {
                return bad("not a frame count from 1 to " + std::to_string(kMaxFrames));
            }
        } else if (a == "--size") {
            if (!ParseSize(v, options.width, options.height)) {
                return bad("not a size WxH with sides from 1 to " + std::to_string(kMaxSide) +
                           " and at most " + std::to_string(kMaxPixels) +
                           " pixels in all (a drawing surface holds at most " +
                           std::to_string(dx7::kMaxSurfaceBytes) + " bytes of 4-byte pixels)");
            }
        } else if (a == "--data") {
            std::error_code error;
            if (v.empty() || !fs::exists(fs::u8path(v), error))
                return bad("no such folder or archive");
            options.data = v;
        } else if (a == "--grf") {
            if (v.empty()) return bad("needs an archive");
            options.archive = v;
        } else if (a == "--tilt") {
            if (!ParseNumber(v, options.tilt)) return bad("not a number of degrees");
        } else if (a == "--yaw") {
            if (!ParseNumber(v, options.yaw)) return bad("not a number of degrees");
        } else if (a == "--pitch") {
            if (!ParseNumber(v, options.pitch)) return bad("not a number of degrees");
        } else if (a == "--distance") {
            float d = 0;
            if (!ParseNumber(v, d)) return bad("not a number");
            options.distance = d;
        } else if (a == "--time") {
            double t = 0;
            if (!ParseNumber(v, t) || t < 0) return bad("not a time in milliseconds from 0");
            options.time_ms = t;
        }
    }
    if (inputs.empty()) return UsageError("render", "render needs one FILE");
    if (inputs.size() > 1) return UsageError("render", "render takes one FILE");
    if (options.output.empty()) return UsageError("render", "render needs -o OUT.png");
    if (options.time_ms && !options.scene) return UsageError("render", "--time needs --scene");
    options.input = inputs[0];
    return -1;
}

// Writes `picture` in the format its name asks for to a temporary file beside `output`,
// which then takes the output's place: the output is never left half-written.
void WritePicture(const QImage& picture, const std::string& output) {
    const fs::path out = fs::u8path(output);
    const fs::path folder = out.has_parent_path() ? out.parent_path() : fs::path(".");
    const fs::path temp = folder / fs::u8path("." + PathText(out.filename()) + ".part");
    const QString temp_name = QString::fromStdString(PathText(temp));
    if (!picture.save(temp_name, PictureFormat(output).c_str())) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw Error(kErrPathFileAccess, output +
                                            ": cannot write the picture (the folder does "
                                            "not exist or is not writable)");
    }
    std::error_code error;
    fs::rename(temp, out, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw Error(kErrPathFileAccess, output + ": cannot write the picture: " + error.message());
    }
}

// FILE read by the scene layer and every node placed at `time_ms`, centred whole. The
// warnings of the read (parents not found, faces out of range, ...) go to stderr.
//
// Two-sided faces need nothing more: the device draws with culling off and lights every
// face by the ambient light alone, so both sides of any face look the same.
// `shown` names the model in the warnings (a model out of an archive is read from a
// temporary copy).
// The scene's nodes placed at `time_ms` as the model to draw; its read warnings go to
// stderr under the name `shown`.
OpenedModel PlacedScene(const scene::Scene& scene, double time_ms, const std::string& shown) {
    for (const std::string& warning : scene.warnings) PrintWarning(shown + ": " + warning);
    OpenedModel opened;
    opened.model = SceneToModel(scene, time_ms);
    opened.extent = CenterWholeModel(opened.model);
    return opened;
}

// Names each texture the data folder or archive did not hold (as the texture loader
// reported them), for which the stand-by bitmap is drawn.
void WarnMissingTextures(const std::string& input, const std::vector<std::string>& missing,
                         const std::string& data_path) {
    for (const std::string& name : missing) {
        PrintWarning(input + ": texture \"" + DecodeGameText(name) + "\" not found in " +
                     data_path + "; the stand-by bitmap is drawn");
    }
}

int RunRender(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitSuccess;
    }
    Options options;
    if (const int stop = Parse(args, options); stop >= 0) return stop;

    try {
        // A model inside an archive is read from its bytes, under its entry's name.
        std::optional<std::vector<uint8_t>> entry_bytes;
        if (options.archive) {
            const auto archive = std::make_shared<const GrfArchive>(*options.archive);
            const std::vector<ModelInput> found = ExpandArchiveModels(archive, {options.input});
            if (found.size() != 1) {
                throw Error(kErrInvalidFormat, *options.archive + ": " + options.input +
                                                   " matches " + std::to_string(found.size()) +
                                                   " entries; render draws one model");
            }
            options.input = found[0].name;
            RequireModelArgument(found[0].entry_name);
            entry_bytes = found[0].Read();
        } else {
            RequireModelArgument(options.input);
        }
        // Read first: a bad model fails before any device work.
        const fs::path path = fs::u8path(options.input);
        OpenedModel opened;
        if (options.scene) {
            opened = PlacedScene(entry_bytes ? scene::ReadScene(*entry_bytes, options.input)
                                             : scene::LoadScene(path),
                                 options.time_ms.value_or(0), options.input);
        } else {
            opened = entry_bytes ? ReadAnyViewModel(*entry_bytes, options.input)
                                 : ReadAnyViewModel(path);
        }
        Settings settings;
        settings.DataPath = options.data      ? *options.data
                            : options.archive ? *options.archive
                                              : DataPathFromSettings();
        settings.Wireframe = options.wireframe;
        settings.Smooth = options.smooth;
        settings.Textured = options.textured;

        const QRect area(0, 0, options.width, options.height);
        OffscreenWindow window(area);
        DeviceState device;
        InitDirect3D(device, &window);

        CameraState camera;
        camera.ModelTilt = options.tilt;
        ResetViewCamera(camera, opened.extent);
        if (options.distance) {
            camera.CameraPos.z = -*options.distance;
            camera.DragCameraPos.z = camera.CameraPos.z;
        }
        camera.CameraYaw = options.yaw;
        camera.CameraPitch = options.pitch;

        std::vector<std::string> missing;
        std::vector<dx7::SurfacePtr> textures =
            LoadViewTextures(device, opened.model, settings.DataPath, {}, &missing);
        WarnMissingTextures(options.input, missing, settings.DataPath);

        float spin = 0;
        DrawBuffers buffers;
        const FrameHooks hooks{&window, {}, &buffers, {}};
        try {
            for (long frame = 0; frame < options.frames; ++frame) {
                RunFrameStep(spin, camera, device, opened.model, textures, settings, hooks);
            }
        } catch (const Error& e) {
            throw Error(e.number(), options.input + ": cannot draw a frame: " + e.description());
        }
        WritePicture(window.Picture(), options.output);
        ShutdownDirect3D(device, textures);
    } catch (const Error& e) {
        PrintError(e.description());
        return kExitFailure;
    }
    return kExitSuccess;
}

const CommandRegistration kRegistered{"render", "draw a model as the viewer does and save a PNG",
                                      &RunRender};

}  // namespace
}  // namespace plovant::cli
