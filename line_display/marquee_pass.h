// One window's marquee: the moves of its text within the text buffer, pass by pass. The
// marquee thread decides when; these functions decide where the text goes. Each is called
// with the buffer's lock held.
#pragma once

#include "text_buffer.h"

namespace line_display {

enum MarqueeType {
  kMarqueeNone = 0,
  kMarqueeUp = 1,
  kMarqueeDown = 2,
  kMarqueeLeft = 3,
  kMarqueeRight = 4,
  kMarqueeInit = 5
};
enum MarqueeFormat { kMarqueeWalk = 0, kMarqueePlace = 1 };

// Where a pass stands. step 0: no pass in progress (the text is at home).
struct MarqueePass {
  int step = 0;
  int position = 0;  // start of the moving text: a buffer byte (left, right) or row (up, down)
  int type = kMarqueeNone;
  int format = kMarqueeWalk;
};

struct Viewport {
  int height = 0;
  int width = 0;
};

// Starts a pass of `type` (1-4) in `format`: the text is put at its starting place (the
// first character or row entering the viewport). Returns whether this first frame is shown.
bool StartMarqueePass(TextBuffer& buffer, MarqueePass& pass, int type, int format,
                      Viewport viewport);
// Steps left in this pass (after the first frame).
int MarqueeStepsLeft(const TextBuffer& buffer, const MarqueePass& pass);
// Moves the text one column or row on.
void StepMarqueePass(TextBuffer& buffer, MarqueePass& pass);
// Puts the text back home (as it was before the pass) and ends the pass.
void EndMarqueePass(TextBuffer& buffer, MarqueePass& pass);
// The place format shows the characters (rows) already in the viewport in their final order.
// Applied just for one redraw and undone by calling it again.
void FlipPlacedText(TextBuffer& buffer, const MarqueePass& pass, Viewport viewport);

}  // namespace line_display
