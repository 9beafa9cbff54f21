// The image stores and the page file buffer.
#include "images/image_store.h"

#include "images/page_file.h"

namespace korva {

ImageStore& Images() {
  static ImageStore store;
  return store;
}

void ResetImageStore() { Images() = ImageStore{}; }

VersionText EmbeddedVersionText() {
  const ImageStore& store = Images();
  return MakeVersionText(store.McuVersionChars.data(), store.DspVersionChars.data());
}

PageFileState& PageFile() {
  static PageFileState state;
  return state;
}

void ResetPageFileState() { PageFile() = PageFileState{}; }

}  // namespace korva
