#include "simulateur/livret.h"

#include <cstdio>
#include <vector>

namespace ovrel::simulateur {

namespace {
// PDF text strings in the standard fonts are bytes: keep ASCII, replace the rest.
std::string textePdf(std::string_view texte) {
    std::string r;
    for (unsigned char c : texte) {
        if (c == '(' || c == ')' || c == '\\') {
            r.push_back('\\');
            r.push_back(static_cast<char>(c));
        } else if (c >= 0x20 && c < 0x7f) {
            r.push_back(static_cast<char>(c));
        } else if (c >= 0xc0 || c < 0x20) {
            r.push_back('?');  // one mark per non-ASCII character: continuation bytes are dropped
        }
    }
    return r;
}
}  // namespace

std::string livretPdf(std::string_view nom, std::string_view serie, std::string_view code) {
    const std::string contenu = "BT /F1 22 Tf 72 760 Td (Livret Ovrel) Tj ET\n"
                                "BT /F1 14 Tf 72 720 Td (" + textePdf(nom) + ") Tj ET\n"
                                "BT /F1 14 Tf 72 696 Td (Serie " + textePdf(serie) + ") Tj ET\n"
                                "BT /F1 28 Tf 72 640 Td (" + textePdf(code) + ") Tj ET\n";
    const std::vector<std::string> objets = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + std::to_string(contenu.size()) + " >>\nstream\n" + contenu + "endstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < objets.size(); ++i) {
        positions.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objets[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objets.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t p : positions) {
        char ligne[24];
        std::snprintf(ligne, sizeof ligne, "%010zu 00000 n \n", p);
        pdf += ligne;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

}  // namespace ovrel::simulateur
