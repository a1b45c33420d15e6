#pragma once
// What the drawing model and readers need from the window that shows them.
// The window implements it over its widgets; RecordingDrawingView keeps the
// texts for tests and the command-line tool.
#include <QString>

#include <array>
#include <functional>

namespace tegaro {

class DrawingView {
public:
    virtual ~DrawingView() = default;
    // box 1..5 stands for FlatEdit1..FlatEdit5.
    virtual void setAreaText(int box, const QString& text) = 0;
    // Compose the current floor and show it (the window runs the renderer's Redraw).
    virtual void redraw() = 0;
    virtual void setZmfileText(const QString& text) = 0;
    virtual QString zmfileText() const = 0;
};

class RecordingDrawingView final : public DrawingView {
public:
    std::array<QString, 6> areaTexts; // index 0 unused
    int redraws = 0;
    QString zmfile;
    std::function<void()> onRedraw; // optional: compose the picture

    void setAreaText(int box, const QString& text) override
    {
        if (box >= 1 && box <= 5)
            areaTexts[box] = text;
    }
    void redraw() override
    {
        ++redraws;
        if (onRedraw)
            onRedraw();
    }
    void setZmfileText(const QString& text) override { zmfile = text; }
    QString zmfileText() const override { return zmfile; }
};

} // namespace tegaro
