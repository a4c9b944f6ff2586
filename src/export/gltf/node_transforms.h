// Node transforms as glTF carries them: the file's Y-down axes turned upright, and
// matrices split into the translation, rotation and scale of a glTF node.
#pragma once

#include <glm/gtc/quaternion.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

namespace plovant::gltf {

// A node transform T(translation) · R(rotation) · S(scale).
struct Trs {
    glm::vec3 translation{0.0f};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
    glm::vec3 scale{1.0f};

    glm::mat4 Matrix() const;
};

// The transform `m` of the file's axes expressed in upright axes (Y negated): F · m · F,
// with F the Y mirror. A rotation stays a rotation and a translation a translation.
glm::mat4 Upright(const glm::mat4& m);

// An affine matrix split into the part a glTF node can hold and the rest:
// m = trs.Matrix() · residual. When `m` is a translation times a rotation times a
// positive scale along the rotated axes (within a relative 1e-5), `residual` is the
// identity and `exact` is true. Otherwise (shear, a mirror, a zero or non-finite scale)
// `trs` keeps the translation only and `residual` the whole 3×3 part, so nothing is lost:
// the caller places the residual below the node.
struct TrsSplit {
    Trs trs;
    glm::mat4 residual{1.0f};
    bool exact = true;
};
TrsSplit SplitTrs(const glm::mat4& m);

// True when every element of `m` is a finite number.
bool IsFinite(const glm::mat4& m);

}  // namespace plovant::gltf

namespace plovant::gltf {

// The nearest TRS reading of `m` where SplitTrs finds none: the column lengths as scale
// (the first negated for a mirror) and the normalised rotation of what remains. Used for
// animated nodes, whose keys must be TRS values.
Trs ApproximateTrs(const glm::mat4& m);

}  // namespace plovant::gltf
