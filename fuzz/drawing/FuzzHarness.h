#pragma once
// One model, view, renderer and scripted seam for the whole fuzzing run.
#include "core/Errors.h"
#include "core/ScriptedSeam.h"
#include "drawing/DrawingModel.h"
#include "drawing/DrawingRenderer.h"
#include "drawing/DrawingView.h"

struct FuzzHarness {
    tegaro::ScriptedSeam seam;
    tegaro::DrawingModel model;
    tegaro::RecordingDrawingView view;
    tegaro::DrawingRenderer renderer;

    FuzzHarness() { renderer.InitCanvas(model, QString()); }

    // Runs a read, then draws one floor of whatever it left, floor and zoom
    // taken from the input so that far coordinates get scaled too.
    template <class Read>
    void run(Read read, unsigned char zoomByte)
    {
        seam.clear();
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
