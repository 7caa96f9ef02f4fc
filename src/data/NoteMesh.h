// A denomination's geometry: two display lists of the note bent into a
// shallow trough (it rocks like a leaf) and one of it flat (it tumbles),
// each binding the denomination's texture and drawing both faces.
#pragma once

// Compiles the three lists, whose names the caller has reserved. noteWidth
// and noteHeight are in note units; scale is both the size factor and the
// radius of the trough.
void CreateNote(unsigned listCurved, unsigned listCurved2, unsigned listFlat, float noteWidth,
                float noteHeight, unsigned texture, float scale);
