// Helpers shared by the host model tests.
#pragma once

#include "dzfigureloader.h"
#include "dzskeleton.h"
#include "dzvec3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

inline double rad(double deg)
{
    return deg * 3.14159265358979323846 / 180.0;
}

// Within tol, scaled by the largest expected component where that exceeds 1.
inline void expectVec(const DzVec3 &v, float x, float y, float z, float tol = 1e-5f)
{
    tol *= std::max({ 1.f, std::fabs(x), std::fabs(y), std::fabs(z) });
    EXPECT_NEAR(v.m_x, x, tol);
    EXPECT_NEAR(v.m_y, y, tol);
    EXPECT_NEAR(v.m_z, z, tol);
}

// A stock figure from the content folder; the standard one by default.
inline std::unique_ptr<DzSkeleton> loadFigure(const QString &file = QString())
{
    const QString dir(TRELVO_CONTENT_DIR);
    QString error;
    std::unique_ptr<DzSkeleton> fig(file.isEmpty()
            ? DzFigureLoader::loadStandardFigure(dir, &error)
            : DzFigureLoader::loadFile(dir + "/figures/" + file, &error));
    EXPECT_TRUE(fig) << error.toStdString();
    return fig;
}
