#pragma once
#include <QString>
struct Figure
{
    QString name;
    QString measured;
    QString target;
    bool pass = false;
    bool measuredAtAll = true;
};
