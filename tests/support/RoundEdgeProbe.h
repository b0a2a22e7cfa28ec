#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>

class QQuickWindow;

// Looks at one edge of a round shape in a picture of the window, along rays from the shape's
// centre: an anti-aliased edge shows pixels whose colour lies between the shape's, read inside
// the edge, and that of what lies beyond it; a stepped edge goes straight from one to the other.
class RoundEdgeProbe
{
public:
    // Grabs the window as its renderer draws it; the centre is in the window's coordinates.
    RoundEdgeProbe(QQuickWindow *window, const QPointF &centre);

    struct Ray
    {
        // The two colours differ enough to tell a blend of them.
        bool contrasted = false;
        bool crossesBlend = false;
    };
    // The ray at that angle (degrees clockwise from 3 o'clock): the shape's colour is read at
    // shapeRadius, the other one at beyondRadius, and the pixels between them are looked at.
    Ray cross(qreal degrees, qreal shapeRadius, qreal beyondRadius) const;

private:
    QColor colourAt(qreal degrees, qreal radius) const;

    QImage m_frame;
    qreal m_ratio;
    QPointF m_centre;
};
