// Placeholder until composing, PNG and clipboard land.
#include "ImageOps.h"

namespace tavelin::qt {
ImageRef makeImage(QImage image)
{
    if (image.isNull())
        return nullptr;
    return std::make_shared<QtImage>(std::move(image));
}
const QImage* qimageOf(const ImageRef& image)
{
    auto* q = dynamic_cast<const QtImage*>(image.get());
    return q ? &q->image() : nullptr;
}
ImageRef composeImages(const ImageRef&, const ImageRef&) { return nullptr; }
std::optional<std::vector<uint8_t>> encodePngImage(const ImageRef&) { return std::nullopt; }
void putImageOnClipboard(const ImageRef&, const std::vector<uint8_t>&) { }
}
