#include "support/HostileFiles.h"

#include <QList>
#include <QtEndian>

#include <zlib.h>

namespace marvoline::test {

namespace {

void appendLittle16(QByteArray& bytes, int value) {
    bytes.append(char(value & 0xff)).append(char((value >> 8) & 0xff));
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    const QByteArray body = QByteArray(type) + data;
    chunk += body;
    const uLong crc =
        ::crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()));
    QByteArray crcBytes(4, '\0');
    qToBigEndian<quint32>(quint32(crc), crcBytes.data());
    return chunk + crcBytes;
}

// A PDF with its cross-reference table, the objects numbered from 1.
QByteArray pdfWithObjects(const QList<QByteArray>& objects) {
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

} // namespace

QByteArray selfReferencingPdf() {
    return pdfWithObjects(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [2 0 R] /Count 1000000 >>"});
}

QByteArray blankPdf(int pages, QSize points) {
    QByteArray kids;
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", QByteArray()};
    for (int i = 0; i < pages; ++i) {
        kids += QByteArray::number(i + 3) + " 0 R ";
        objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " +
                       QByteArray::number(points.width()) + ' ' +
                       QByteArray::number(points.height()) + "] >>");
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>";
    return pdfWithObjects(objects);
}

QByteArray hugePng(int side) {
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(side), header.data());
    qToBigEndian<quint32>(quint32(side), header.data() + 4);
    header[8] = 8; // bits per sample; colour type 0: grey
    // The rows, each a filter byte and grey samples, compressed as they are made.
    z_stream zs{};
    deflateInit(&zs, Z_BEST_COMPRESSION);
    QByteArray row(side + 1, char(0x80));
    row[0] = 0;
    QByteArray compressed;
    QByteArray buffer(1 << 16, '\0');
    for (int y = 0; y <= side; ++y) {
        const bool last = y == side;
        zs.next_in = reinterpret_cast<Bytef*>(last ? nullptr : row.data());
        zs.avail_in = last ? 0 : uInt(row.size());
        do {
            zs.next_out = reinterpret_cast<Bytef*>(buffer.data());
            zs.avail_out = uInt(buffer.size());
            deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
            compressed.append(buffer.constData(), buffer.size() - zs.avail_out);
        } while (zs.avail_out == 0);
    }
    deflateEnd(&zs);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", compressed) + pngChunk("IEND", {});
}

QByteArray rgbaPng(const QImage& image) {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(rgba.width()), header.data());
    qToBigEndian<quint32>(quint32(rgba.height()), header.data() + 4);
    header[8] = 8; // bits per sample
    header[9] = 6; // colour type: RGBA
    QByteArray rows;
    for (int y = 0; y < rgba.height(); ++y) {
        rows.append('\0'); // no filter
        rows.append(reinterpret_cast<const char*>(rgba.constScanLine(y)), rgba.width() * 4);
    }
    uLongf size = compressBound(uLong(rows.size()));
    QByteArray compressed(qsizetype(size), '\0');
    compress(reinterpret_cast<Bytef*>(compressed.data()), &size,
             reinterpret_cast<const Bytef*>(rows.constData()), uLong(rows.size()));
    compressed.truncate(qsizetype(size));
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", compressed) + pngChunk("IEND", {});
}

QByteArray animatedGif(QSize screen, int frames, int delayCs) {
    QByteArray gif = "GIF89a";
    appendLittle16(gif, screen.width());
    appendLittle16(gif, screen.height());
    // A global colour table of 4 entries, 2 bits per colour index.
    gif.append(char(0x81)).append('\0').append('\0');
    gif += QByteArray::fromHex("000000ff000000ff000000ff");
    // Loops for ever.
    gif += QByteArray::fromHex("21ff0b") + "NETSCAPE2.0" + QByteArray::fromHex("0301000000");
    for (int i = 0; i < frames; ++i) {
        gif += QByteArray::fromHex("21f904"); // graphic control: no disposal
        gif.append('\0');
        appendLittle16(gif, delayCs);
        gif.append('\0').append('\0');
        gif.append(char(0x2c)); // image descriptor: 1 × 1 at 0, 0
        appendLittle16(gif, 0);
        appendLittle16(gif, 0);
        appendLittle16(gif, 1);
        appendLittle16(gif, 1);
        gif.append('\0');
        // LZW, minimum code size 2: clear (4), the colour index, end (5), 3 bits each.
        const int codes = 4 | ((i % 4) << 3) | (5 << 6);
        gif.append(char(2)).append(char(2));
        gif.append(char(codes & 0xff)).append(char(codes >> 8));
        gif.append('\0');
    }
    gif.append(char(0x3b));
    return gif;
}

} // namespace marvoline::test
