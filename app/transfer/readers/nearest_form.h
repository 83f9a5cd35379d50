#pragma once
// The nearest text the catalogue's code page can hold, for bulk imports: the
// letters Windows-1250 has stay as they are, the rest is written in Latin
// letters by ICU's transliterators (Достоевский → Dostoevskij, Nesbø → Nesbo)
// and what has no Latin form (an emoji) is left out.
#include <QString>
#include <QStringList>

// `text` in a form the code page holds. Each whitespace-separated word that
// changed is added to `changes` as "Nesbø → Nesbo" (or "😀 vynecháno").
QString NearestStorableForm(const QString& text, QStringList* changes);
