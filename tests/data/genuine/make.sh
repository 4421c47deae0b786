#!/usr/bin/env bash
# How the documents in this folder were made, once, with LibreOffice from
# Debian (libreoffice-writer-nogui, libreoffice-calc-nogui). They are test
# data made by a real office suite: the tests use the committed files and
# never run this script.
#   genuine-word97.doc   Word 97-2003 (class Word.Document.8)
#   genuine-word.docx    Word package
#   genuine-excel97.xls  Excel 97-2003 (LibreOffice gives it Excel.Sheet.5's class)
#   genuine-excel.xlsx   Excel package
# Each has the title genuine-<ext>-title in its properties, and a body whose
# first text is "正式报表 GENUINE-<EXT>-BODY".
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

text_source() {  # title marker
    cat <<XML
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
  xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
  xmlns:dc="http://purl.org/dc/elements/1.1/" office:version="1.3"
  office:mimetype="application/vnd.oasis.opendocument.text">
 <office:meta><dc:title>$1</dc:title></office:meta>
 <office:body><office:text>
  <text:p>正式报表 $2</text:p>
  <text:p>Second paragraph of a document written by a real office suite.</text:p>
 </office:text></office:body>
</office:document>
XML
}

sheet_source() {  # title marker
    cat <<XML
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
  xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
  xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
  xmlns:dc="http://purl.org/dc/elements/1.1/" office:version="1.3"
  office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:meta><dc:title>$1</dc:title></office:meta>
 <office:body><office:spreadsheet><table:table table:name="Sheet1">
  <table:table-row><table:table-cell office:value-type="string"><text:p>正式报表 $2</text:p></table:table-cell></table:table-row>
  <table:table-row><table:table-cell office:value-type="string"><text:p>Amount</text:p></table:table-cell>
   <table:table-cell office:value-type="float" office:value="42"><text:p>42</text:p></table:table-cell></table:table-row>
 </table:table></office:spreadsheet></office:body>
</office:document>
XML
}

make() {  # name kind extension filter
    local base="$work/$1"
    if [ "$2" = text ]; then
        text_source "genuine-$3-title" "GENUINE-${3^^}-BODY" >"$base.fodt"; src="$base.fodt"
    else
        sheet_source "genuine-$3-title" "GENUINE-${3^^}-BODY" >"$base.fods"; src="$base.fods"
    fi
    soffice --headless --convert-to "$3:$4" --outdir "$work" "$src" >/dev/null
    cp "$work/$1.$3" "$here/$1.$3"
}

make genuine-word97 text doc "MS Word 97"
make genuine-word text docx "MS Word 2007 XML"
make genuine-excel97 sheet xls "MS Excel 97"
make genuine-excel sheet xlsx "Calc MS Excel 2007 XML"
ls -l "$here"
