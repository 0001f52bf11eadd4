// Send path of the data window: manual send, repeated and timed send, and
// SendData by the endpoint's kind.
#include "tfrmdata.h"

void TFrmData::SendData(const QByteArray &) {}
QByteArray TFrmData::TakeBlock() const { return {}; }
void TFrmData::Button_11Click() {}
void TFrmData::suiButton1Click() {}
void TFrmData::suiButton2Click() {}
void TFrmData::Timer1Timer() {}
void TFrmData::sendRepeated(const QByteArray &, const QString &, bool) {}
