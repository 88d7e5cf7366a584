#include "alarm/QtSoundPlayer.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace qcal {

QtSoundPlayer::QtSoundPlayer() = default;

QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::Play(const std::string& path) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo(file).isFile()) {
        return;
    }
    if (!effect_) {
        effect_ = std::make_unique<QSoundEffect>();
    }
    const QUrl source = QUrl::fromLocalFile(file);
    if (effect_->source() != source) {
        // Loading runs in the background; a play asked for meanwhile starts once it is loaded.
        effect_->setSource(source);
    } else if (effect_->isPlaying()) {
        effect_->stop();
    }
    effect_->play();
}

}  // namespace qcal
