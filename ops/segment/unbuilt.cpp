// Placeholder until segmentation lands.
#include "ops/operations.h"
bool segment_characters(WindowHandle, const ImageRecord&) { return false; }
