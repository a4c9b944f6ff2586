// frmTex, the textures window: a list of the model's texture names and, below it, the
// selected texture stretched over a 256 × 256 picture box. The picture is drawn with
// DirectDraw objects of the window's own: the texture surface is blitted onto a primary
// surface whose clipper is bound to the picture box.
#pragma once

#include <vector>

#include <QWidget>

#include "model/rsm_model.h"
#include "platform/dx7/dx7.h"

class QComboBox;

namespace plovant {

class PictureWidget;

class TexturesWindow : public QWidget {
    Q_OBJECT

public:
    // A tool window owned by `owner` and placed to the right of it, top edges level. It
    // shows `model`'s texture names and the surfaces of `texture_surfaces` (element i for
    // name i); both belong to the owner and are read whenever the list is rebuilt or the
    // picture painted. `dx` makes the window's own DirectDraw objects; the window keeps
    // it alive. The list starts empty. The window is deleted when its close box is used.
    // Creating the DirectDraw objects may throw plovant::Error.
    TexturesWindow(QWidget* owner, dx7::DirectX7Ptr dx, const RsmModel& model,
                   const std::vector<dx7::SurfacePtr>& texture_surfaces);
    ~TexturesWindow() override;

    // Rebuilds the list from the model's texture names, selects the first and paints it.
    // With no texture names the list stays empty and the picture blank.
    void TextureRefresh();

    QComboBox* cboTex() const { return cboTex_; }
    PictureWidget* Picture1() const { return Picture1_; }

private slots:
    void cboTex_Click();

private:
    void Picture1_Paint();

    const RsmModel& model_;
    const std::vector<dx7::SurfacePtr>& texture_surfaces_;
    QComboBox* cboTex_;
    PictureWidget* Picture1_;

    dx7::DirectX7Ptr dx_;
    dx7::DirectDraw7Ptr TexDDraw;
    dx7::SurfacePtr TexPrimary;
    dx7::ClipperPtr TexClipper;
    dx7::DDSURFACEDESC2 TexDesc;
    dx7::RECT TexSrcRect;
    dx7::RECT TexDestRect;
};

}  // namespace plovant
