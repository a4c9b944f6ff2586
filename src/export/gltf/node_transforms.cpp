#include "export/gltf/node_transforms.h"

#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <limits>

namespace plovant::gltf {
namespace {

// How far from orthonormal the rotation part of a TRS may be (relative to its scale).
constexpr float kTrsTolerance = 1e-5f;

}  // namespace

glm::mat4 Trs::Matrix() const {
    return glm::translate(glm::mat4(1.0f), translation) * glm::mat4_cast(rotation) *
           glm::scale(glm::mat4(1.0f), scale);
}

glm::mat4 Upright(const glm::mat4& m) {
    // F · m · F negates the elements where exactly one of row and column is Y.
    glm::mat4 r = m;
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) {
            if ((c == 1) != (row == 1)) r[c][row] = -r[c][row];
        }
    }
    return r;
}

bool IsFinite(const glm::mat4& m) {
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            if (!std::isfinite(m[c][r])) return false;
        }
    }
    return true;
}

TrsSplit SplitTrs(const glm::mat4& m) {
    TrsSplit split;
    split.trs.translation = glm::vec3(m[3]);
    glm::mat3 basis(m);
    glm::vec3 scale;
    for (int c = 0; c < 3; ++c) scale[c] = glm::length(basis[c]);

    const bool usable = IsFinite(m) && m[0][3] == 0 && m[1][3] == 0 && m[2][3] == 0 &&
                        m[3][3] == 1 && std::isfinite(split.trs.translation.x);
    const float largest = std::max({scale.x, scale.y, scale.z});
    bool exact = usable && largest > 0 && std::min({scale.x, scale.y, scale.z}) > largest * 1e-6f;
    glm::mat3 rotation(1.0f);
    if (exact) {
        for (int c = 0; c < 3; ++c) rotation[c] = basis[c] / scale[c];
        // Columns must be orthonormal and right-handed: no shear, no mirror.
        const glm::mat3 gram = glm::transpose(rotation) * rotation;
        for (int i = 0; i < 3 && exact; ++i) {
            for (int j = 0; j < 3; ++j) {
                if (std::abs(gram[i][j] - (i == j ? 1.0f : 0.0f)) > kTrsTolerance) {
                    exact = false;
                    break;
                }
            }
        }
        if (exact && glm::determinant(rotation) <= 0) exact = false;
    }
    if (!exact) {
        split.exact = false;
        if (!std::isfinite(split.trs.translation.x + split.trs.translation.y +
                           split.trs.translation.z)) {
            split.trs.translation = glm::vec3(0.0f);
            split.residual = m;
        } else {
            split.residual = glm::mat4(basis);
            split.residual[0][3] = m[0][3];
            split.residual[1][3] = m[1][3];
            split.residual[2][3] = m[2][3];
            split.residual[3][3] = m[3][3];
        }
        return split;
    }
    split.trs.rotation = glm::normalize(glm::quat_cast(rotation));
    if (split.trs.rotation.w < 0) split.trs.rotation = -split.trs.rotation;
    split.trs.scale = scale;
    return split;
}

}  // namespace plovant::gltf

namespace plovant::gltf {

Trs ApproximateTrs(const glm::mat4& m) {
    Trs trs;
    if (!IsFinite(m)) return trs;
    trs.translation = glm::vec3(m[3]);
    glm::mat3 basis(m);
    for (int c = 0; c < 3; ++c) {
        // In double, so the length of a column of the largest floats does not overflow.
        const glm::dvec3 column(basis[c]);
        const double length = std::sqrt(glm::dot(column, column));
        const bool usable = length > 0 && length <= std::numeric_limits<float>::max();
        trs.scale[c] = usable ? float(length) : 1.0f;
        basis[c] = usable ? glm::vec3(column / length) : glm::vec3(c == 0, c == 1, c == 2);
    }
    if (glm::determinant(basis) < 0) {
        trs.scale.x = -trs.scale.x;
        basis[0] = -basis[0];
    }
    const glm::quat q = glm::quat_cast(basis);
    const float length = glm::length(q);
    trs.rotation = (length > 0 && std::isfinite(length)) ? q / length : glm::quat(1, 0, 0, 0);
    if (trs.rotation.w < 0) trs.rotation = -trs.rotation;
    return trs;
}

}  // namespace plovant::gltf
