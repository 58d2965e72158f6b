#pragma once

#include <QString>
#include <QWidget>

// Two levels at once on a square: the first variable across (-5 at the left edge, +5 at the
// right), the second up (-5 at the bottom, +5 at the top). A click sets both where it falls; a
// drag with the button held goes on setting them. Shows the levels it is given.
class LevelPad : public QWidget
{
    Q_OBJECT
public:
    explicit LevelPad(QWidget *parent = nullptr);

    // Levels in tenths.
    void setLevels(int level1, int level2);
    void setNames(const QString &across, const QString &up);

signals:
    // Levels in tenths, where the pointer is.
    void levelsRequested(int level1, int level2);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void request(const QPointF &at);

    int m_level1 = 0;
    int m_level2 = 0;
    QString m_across;
    QString m_up;
};
