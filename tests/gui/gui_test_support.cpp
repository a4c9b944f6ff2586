#include "gui_test_support.h"

#include <fstream>

#include <QCoreApplication>

namespace plovant::testing {

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

void WriteBitmap(const std::filesystem::path& path, QColor color, int size) {
    std::filesystem::create_directories(path.parent_path());
    QImage image(size, size, QImage::Format_RGB888);
    image.fill(color);
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "BMP")) << path;
}

std::vector<uint8_t> QuadModel(const std::vector<std::string>& textures, float scale) {
    MeshSpec mesh = Quad("root", "root", 0);
    for (RsmVertex& v : mesh.vertices) {
        v.X *= scale;
        v.Y *= scale;
    }
    mesh.texture_ids.clear();
    for (size_t j = 0; j < textures.size(); ++j) mesh.texture_ids.push_back(static_cast<int32_t>(j));
    RsmFile file;
    file.header().textures(textures).firstMesh(mesh);
    return file.bytes;
}

void GuiTest::SetUp() {
    ASSERT_TRUE(root_.isValid());
    // Closing the last window must not end the test program.
    QApplication::setQuitOnLastWindowClosed(false);
    std::filesystem::create_directories(Data() / "texture");
    std::ofstream ini(Root() / "dovekit.ini", std::ios::binary);
    ini << Data().string() << "\r\n";
}

void GuiTest::TearDown() {
    window_.reset();
    QCoreApplication::processEvents();
}

MainWindow& GuiTest::Window() {
    if (!window_) {
        MainWindowOptions options;
        options.dialogs = &dialogs_;
        options.settings_folder = Root().string();
        options.standby_folder = standby_folder_;
        options.end_program = [this](int code) { end_program_code_ = code; };
        window_ = std::make_unique<MainWindow>(options);
        window_->show();
    }
    return *window_;
}

void GuiTest::Open(const std::filesystem::path& path) {
    dialogs_.Answer(path.string());
    Window().mnuOpen()->trigger();
}

void GuiTest::Frames(int n) {
    for (int i = 0; i < n; ++i) Window().RunFrame();
}

double BlueShare(const QImage& image, QRect rect) {
    rect = rect.intersected(image.rect());
    if (rect.isEmpty()) return 0;
    int blue = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == 0x0000FF) ++blue;
        }
    }
    return static_cast<double>(blue) / (rect.width() * rect.height());
}

}  // namespace plovant::testing
