#pragma once

#include "core/Notice.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// The evidence of consent: for every sign-up made under a notice, when it was made and exactly which text
// the visitor was shown, kept beside the data file without touching the data file's 14 columns.
//
// Beside the data file quillmore.csv (for any other data file, its name less a final ".csv"):
//
//   quillmore-consent.csv          one line per sign-up made under a notice, appended only:
//                                      OFFSET,SIGNED_UP,NOTICE_SHA256,LINE_SHA256
//                                  OFFSET      the byte offset in the data file at which the sign-up's
//                                              line starts (0 for the first line), decimal
//                                  SIGNED_UP   the moment of the sign-up, UTC, to the second:
//                                              2026-12-09T03:19:07Z
//                                  NOTICE_SHA256  the SHA-256 of the notice file's bytes, 64 lower-case
//                                              hex digits: the text is quillmore-notice-<it>.txt
//                                  LINE_SHA256 the SHA-256 of the sign-up's line in the data file, its
//                                              bytes without the final line break, 64 lower-case hex
//   quillmore-notice-<SHA256>.txt  each notice text a visitor was shown, once, the notice file's bytes
//                                  exactly (so sha256sum of it gives its name); never changed
//
// A sign-up's evidence line is written and synced before its data line, under the data file's lock,
// and the visitor is thanked only once both are on disk. A kill between the two leaves an evidence line
// for a line that never came; so a reader takes, for the data line starting at OFFSET, the last evidence
// line with that OFFSET whose LINE_SHA256 is that line's: a line that does not match, or does not read
// as these four fields (cut short by a kill and ended by the next append), belongs to no sign-up.
// Read the data file first, then this file: its evidence is then there for every line read.
namespace consent {

// What one sign-up's evidence says.
struct Evidence
{
    QByteArray signedUp; // UTC, to the second, as written: 2026-12-09T03:19:07Z
    QByteArray noticeSha256;
    QByteArray lineSha256;
};

QString evidenceFilePath(const QString& dataFile);
QString noticeFilePath(const QString& dataFile, const QByteArray& sha256);

// The SHA-256 of a data line (without its line break), as LINE_SHA256 holds it.
QByteArray lineDigest(QByteArrayView line);

// Appends the sign-up's line to the data file as platform::appendLineDurably does, and, when a notice
// is given, first keeps the notice text beside it (once) and appends the evidence line, all synced
// before it returns. Returns an empty string on success, otherwise a short English error text; on
// failure the data file is as it was.
[[nodiscard]] QString appendSignUp(const QString& dataFile, const QString& line, const Notice* notice,
                                   const QDateTime& signedUp);

// The evidence file read into what a reader looks a data line up by: its lines ordered by offset, those
// of one offset in the file's order, each kept in 64 bytes (a million sign-ups take 64 MB), the notices'
// hashes once. A missing file holds no evidence; std::nullopt when it cannot be read.
struct EvidenceLine
{
    qint64 offset;
    std::array<char, 20> signedUp; // as written
    std::array<uchar, 32> lineSha256;
    quint32 notice; // in EvidenceByOffset::notices
};
struct EvidenceByOffset
{
    std::vector<EvidenceLine> lines;
    std::vector<QByteArray> notices; // NOTICE_SHA256, as written
};
std::optional<EvidenceByOffset> readEvidence(const QString& dataFile, QString* error);

// The evidence line of the data line at the offset (its bytes without the line break), if any; what an
// evidence line says; the two in one.
const EvidenceLine* findEvidence(const EvidenceByOffset& evidence, qint64 offset, QByteArrayView line);
Evidence evidenceOf(const EvidenceByOffset& evidence, const EvidenceLine& line);
std::optional<Evidence> evidenceFor(const EvidenceByOffset& evidence, qint64 offset, QByteArrayView line);

// One evidence line as it is written, without the line break.
QByteArray evidenceLine(qint64 offset, const QDateTime& signedUp, const QByteArray& noticeSha256,
                        const QByteArray& lineSha256);

} // namespace consent
