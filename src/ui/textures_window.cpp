#include "ui/textures_window.h"

#include <QComboBox>

#include "errors/error.h"
#include "model/code_page.h"
#include "ui/picture_widget.h"
#include "ui/twips.h"

namespace plovant {

namespace {
// Client area and controls, in twips.
constexpr int kClientWidth = 3840, kClientHeight = 4200;
constexpr int kListWidth = 3855, kListHeight = 315;
constexpr int kPictureTop = 360, kPictureSize = 3840;
// Gap between the main window's right edge and this window.
constexpr int kGapTwips = 100;
}  // namespace

TexturesWindow::TexturesWindow(QWidget* owner, dx7::DirectX7Ptr dx, const RsmModel& model,
                               const std::vector<dx7::SurfacePtr>& texture_surfaces)
    : QWidget(owner, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint),
      model_(model),
      texture_surfaces_(texture_surfaces),
      cboTex_(new QComboBox(this)),
      Picture1_(new PictureWidget(this, PictureWidget::Outer::Self)),
      dx_(std::move(dx)) {
    setObjectName("frmTex");
    setWindowTitle("Textures");
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));

    cboTex_->setObjectName("cboTex");
    cboTex_->setGeometry(TwipsRect(0, 0, kListWidth, kListHeight));
    Picture1_->setObjectName("Picture1");
    Picture1_->setGeometry(TwipsRect(0, kPictureTop, kPictureSize, kPictureSize));
    Picture1_->ClearPicture(palette().color(QPalette::Window));
    Picture1_->SetPaintHandler([this] { Picture1_Paint(); });

    // The window's own DirectDraw objects: a primary surface whose blits land only in
    // the picture box.
    TexDDraw = dx_->DirectDrawCreate("");
    TexDDraw->SetCooperativeLevel(Picture1_, dx7::DDSCL_NORMAL);
    dx7::DDSURFACEDESC2 primary_desc;
    primary_desc.dwFlags = dx7::DDSD_CAPS;
    primary_desc.ddsCaps.dwCaps = dx7::DDSCAPS_PRIMARYSURFACE;
    TexPrimary = TexDDraw->CreateSurface(primary_desc);
    TexClipper = TexDDraw->CreateClipper(0);
    TexClipper->SetHWnd(Picture1_);
    TexPrimary->SetClipper(TexClipper);

    if (owner) {
        const QRect outer = owner->frameGeometry();
        move(outer.x() + outer.width() + TwipsToPixels(kGapTwips), outer.y());
    }

    connect(cboTex_, &QComboBox::currentIndexChanged, this, &TexturesWindow::cboTex_Click);
}

TexturesWindow::~TexturesWindow() {
    // The clipper refers to the picture box like a handle: unbind it before the box goes.
    if (TexClipper) TexClipper->SetHWnd(nullptr);
}

void TexturesWindow::TextureRefresh() {
    {
        // Rebuilding the list selects nothing on the way; the first entry is selected
        // once, below.
        const QSignalBlocker blocker(cboTex_);
        cboTex_->clear();
        const int count = std::max(0, std::min<int>(model_.TextureCount,
                                                    static_cast<int>(model_.TextureNames.size())));
        for (int i = 0; i < count; ++i) {
            cboTex_->addItem(QString::fromStdString(DecodeGameText(TextOf(model_.TextureNames[i]))));
        }
    }
    if (cboTex_->count() > 0) {
        cboTex_->setCurrentIndex(0);  // raises cboTex_Click, which draws the picture
    }
    Picture1_Paint();
}

void TexturesWindow::cboTex_Click() {
    // The picture is drawn now, whether or not the window system has asked for a paint
    // yet; the blit shows it.
    Picture1_Paint();
}

void TexturesWindow::Picture1_Paint() {
    const int i = cboTex_->currentIndex();
    const bool has_surface = i >= 0 && i < static_cast<int>(texture_surfaces_.size()) &&
                             texture_surfaces_[i] != nullptr;
    if (!has_surface) {
        // Nothing selected (an empty list, or a window created again before the next
        // open): an empty picture.
        Picture1_->ClearPicture(palette().color(QPalette::Window));
        Picture1_->update();
        return;
    }
    const dx7::SurfacePtr& texture = texture_surfaces_[i];
    try {
        texture->GetSurfaceDesc(TexDesc);
        TexSrcRect = dx7::RECT{0, 0, TexDesc.dwWidth, TexDesc.dwHeight};
        dx_->GetWindowRect(Picture1_, TexDestRect);
        TexPrimary->Blt(TexDestRect, texture, TexSrcRect, dx7::DDBLT_WAIT);
    } catch (const Error&) {
        // A picture that cannot be drawn stays empty; the list and the viewer go on.
        Picture1_->ClearPicture(palette().color(QPalette::Window));
        Picture1_->update();
    }
}

}  // namespace plovant
