#include "qt/window/captionlabel.h"

void CaptionLabel::setCaption(const std::string &caption)
{
    m_caption = caption;
    std::size_t shown = std::min(caption.size(), ShownBytesLimit);
    // Never cut a UTF-8 sequence in two.
    while (shown < caption.size() && shown > 0 && (static_cast<unsigned char>(caption[shown]) & 0xC0) == 0x80)
        --shown;
    setText(QString::fromUtf8(caption.data(), static_cast<qsizetype>(shown)));
}
