# Writes the help pages: each document of docs/ as a page of its own and an index page
# that links them. Run with -DOUT=<folder> -DDOCS=<file|file|...>.
file(MAKE_DIRECTORY ${OUT})
string(REPLACE "|" ";" DOCS "${DOCS}")
set(links "")
foreach(doc ${DOCS})
    get_filename_component(name ${doc} NAME_WE)
    file(READ ${doc} text)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    file(WRITE ${OUT}/${name}.html
         "<!DOCTYPE html><html><head><meta charset='utf-8'><title>Tavora: ${name}</title></head>"
         "<body><p><a href='index.html'>Contents</a></p><pre style='white-space: pre-wrap'>${text}</pre></body></html>\n")
    string(APPEND links "<li><a href='${name}.html'>${name}</a></li>")
endforeach()
file(WRITE ${OUT}/index.html
     "<!DOCTYPE html><html><head><meta charset='utf-8'><title>Tavora help</title></head>"
     "<body><h1>Tavora</h1><ul>${links}</ul></body></html>\n")
