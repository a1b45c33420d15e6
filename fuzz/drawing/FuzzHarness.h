#pragma once
// One model and renderer for the whole fuzzing run.
#include "core/Errors.h"
#include "drawing/DrawingModel.h"
#include "drawing/DrawingRenderer.h"

struct FuzzHarness {
    tegaro::DrawingModel model;
    tegaro::DrawingRenderer renderer;

    FuzzHarness() { renderer.InitCanvas(model, QString()); }

    // Runs a read, then draws one floor of whatever it left, floor and zoom
    // taken from the input so that far coordinates get scaled too.
    template <class Read>
    void run(Read read, unsigned char zoomByte)
    {
        model = tegaro::DrawingModel();
        try {
            read();
        } catch (const tegaro::Exception&) {
            // Errors end the read; the model keeps what was read.
        }
        model.Zoom = 0.3 + (zoomByte >> 2) / 8.0;
        model.CurrentFloor = 1 + (zoomByte & 3) % 3;
        renderer.Redraw(model);
    }
};
