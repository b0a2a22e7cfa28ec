#include "support/RoundEdgeProbe.h"

#include <QQuickWindow>
#include <QtMath>

#include <array>
#include <cmath>
#include <cstdlib>

namespace {

// Channels apart by less than this cannot show a blend above the renderers' rounding.
constexpr int kLeastContrast = 30;
// A blended pixel lies this far from both ends, in the share of the strongest channel's span...
constexpr double kLeastShare = 0.1;
// ...and its other channels stay this close to the same mix of the two colours.
constexpr double kChannelSlack = 30;

std::array<int, 3> channels(const QColor &colour)
{
    return {colour.red(), colour.green(), colour.blue()};
}

bool isBlend(const QColor &pixel, const QColor &shape, const QColor &beyond)
{
    const std::array<int, 3> p = channels(pixel), s = channels(shape), b = channels(beyond);
    int strongest = 0;
    for (int c = 1; c < 3; ++c) {
        if (std::abs(s[c] - b[c]) > std::abs(s[strongest] - b[strongest]))
            strongest = c;
    }
    const double share = double(p[strongest] - b[strongest]) / (s[strongest] - b[strongest]);
    if (share <= kLeastShare || share >= 1 - kLeastShare)
        return false;
    for (int c = 0; c < 3; ++c) {
        if (std::abs(p[c] - (b[c] + share * (s[c] - b[c]))) > kChannelSlack)
            return false;
    }
    return true;
}

} // namespace

RoundEdgeProbe::RoundEdgeProbe(QQuickWindow *window, const QPointF &centre)
    : m_frame(window->grabWindow())
    // The software renderer's picture has the device's pixels but leaves their ratio at 1.
    , m_ratio(qreal(m_frame.width()) / window->width())
    , m_centre(centre)
{
}

QColor RoundEdgeProbe::colourAt(qreal degrees, qreal radius) const
{
    const qreal angle = qDegreesToRadians(degrees);
    const QPointF point = (m_centre + radius * QPointF(std::cos(angle), std::sin(angle))) * m_ratio;
    return m_frame.pixelColor(qFloor(point.x()), qFloor(point.y()));
}

RoundEdgeProbe::Ray RoundEdgeProbe::cross(qreal degrees, qreal shapeRadius, qreal beyondRadius) const
{
    const QColor shape = colourAt(degrees, shapeRadius);
    const QColor beyond = colourAt(degrees, beyondRadius);
    Ray ray;
    for (int c = 0; c < 3; ++c)
        ray.contrasted = ray.contrasted || std::abs(channels(shape)[c] - channels(beyond)[c]) >= kLeastContrast;
    if (!ray.contrasted)
        return ray;
    // Quarter-pixel steps of the picture reach every pixel the ray passes.
    const qreal step = (beyondRadius > shapeRadius ? 0.25 : -0.25) / m_ratio;
    for (qreal radius = shapeRadius; (beyondRadius - radius) / step > 0 && !ray.crossesBlend; radius += step)
        ray.crossesBlend = isBlend(colourAt(degrees, radius), shape, beyond);
    return ray;
}
