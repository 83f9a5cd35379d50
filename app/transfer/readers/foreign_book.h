#pragma once
// A book as another program describes it, and the shared rules that turn it
// into a catalogue row: author names, ratings, ISBNs, notes.
#include <QString>
#include <QStringList>

struct ImportPlan;
class ImportProblems;

struct ForeignBook {
    QString author;         // already in the stored form ("Příjmení Jméno" where known)
    QStringList coauthors;  // as written; they go into the note
    QString title, genre, publisher, series, location, loanTo, loanDate;
    QString year;            // of publication; these three are stored in údaj 2
    QString pages, edition;  // as written ("240", "3.")
    QString rating;          // as written; see StoredRating
    double ratingScale = 1;  // the source's rating is divided by this (a 0–10 scale: 2)
    QString isbn;            // as written; stored when valid
    QStringList notes;       // review, comments, shelves…, in this order
    bool owned = true;       // false: a wish-list book
};

// "Hašek, Jaroslav" → "Hašek Jaroslav"; a name without a comma stays as written.
QString AuthorFromLastFirst(const QString& name);
// "Jaroslav Hašek" → "Hašek Jaroslav" only when the rule is sure: exactly one
// given name and one surname, each a capitalised word without dots (initials)
// or particles. A comma means the last-name form. Otherwise the name stays as
// written and `*kept` is set.
QString AuthorFromFirstLast(const QString& name, bool* kept);

// A rating of 1 to 5 from the source's text divided by `scale`, half points
// rounded up; empty, 0 or no number means unrated: 3, as a new book gets.
int StoredRating(const QString& text, double scale = 1);

// An ISO date ("2024-03-12") as the program writes loan dates ("12.3.2024");
// another text as written.
QString LoanDate(const QString& iso);

// HTML (Calibre's and Tellico's comments) reduced to its text: paragraphs and
// breaks become line ends, tags go, entities are decoded.
QString HtmlToText(const QString& html);

// Names split at commas (shelves, tags), blanks around them dropped, empty ones left out.
QStringList SplitList(const QString& text, QChar separator = u',');

// "Mort (Discworld, #4)" → "Mort" with `*series` "Discworld 4". Of several
// series ("(Discworld, #1; Rincewind, #1)") the first is taken; a title
// without a numbered series in brackets at its end stays as it is.
QString TitleWithoutSeries(const QString& title, QString* series);

// A name written "First Last" in the stored form "Last First", as a
// librarian turns it: "J.R.R. Tolkien" → "Tolkien J.R.R.", particles stay
// with the surname ("Ursula K. Le Guin" → "Le Guin Ursula K.", "Walter de la
// Mare" → "de la Mare Walter"). A single name, "kolektiv autorů" and a
// corporate name ("National Geographic") stay as written; a comma means the
// last-name form.
QString AuthorFromPlainName(const QString& name);

// The stored form from a program's sort form ("Pratchett, Terry") and the
// plain name it was made from. A naive sort form, the plain name's last word
// put first ("Guin, Ursula K. Le", "autorů, Kolektiv"), is made anew from
// the plain name (AuthorFromPlainName); another is taken as written.
QString AuthorFromSortForm(const QString& sortForm, const QString& plain);

// Whether a name is a body's rather than a person's: a collective, a
// publisher, a society, an institute.
bool IsCorporateName(const QString& name);

// Appends the book as a row of the plan; a text the catalogue's code page
// cannot hold goes to `problems` naming the plan's unit and `place`.
void AddBook(ImportPlan& plan, ImportProblems& problems, const ForeignBook& book, int place);
