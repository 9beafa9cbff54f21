// GBK decoding of display texts.
#include "qt/display_text.h"

#include <QByteArray>
#include <QStringDecoder>

namespace korva::qt {

QString DisplayText(const std::string& bytes) {
  QStringDecoder gbk("GBK");
  const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
  // Without a GBK codec in the Qt build the bytes still show, as Latin-1, rather than vanish.
  if (!gbk.isValid()) return QString::fromLatin1(raw);
  return gbk.decode(raw);
}

}  // namespace korva::qt
