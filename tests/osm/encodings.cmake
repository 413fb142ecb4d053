# Makes the hand-made extract's other encodings: cmake -DEXTRACT=cameras.osm
# -DOUT=dir -DOSMIUM=osmium -P encodings.cmake.
#  - cameras.osm.bz2: its very bytes compressed, as an editor's saved file
#    would be (osmium cat would drop the editor's action attributes);
#  - cameras.osm.pbf: the extract as it is published once the editor's
#    work is uploaded: the objects it deleted are gone. osmium takes
#    action="delete" as a deletion when told visible="false", and
#    time-filter keeps what is there now.
file(MAKE_DIRECTORY ${OUT})
file(ARCHIVE_CREATE OUTPUT ${OUT}/cameras.osm.bz2 PATHS ${EXTRACT} FORMAT raw COMPRESSION BZip2)
file(READ ${EXTRACT} text)
string(REPLACE "action=\"delete\"" "visible=\"false\"" text "${text}")
file(WRITE ${OUT}/uploaded.osm "${text}")
execute_process(COMMAND ${OSMIUM} time-filter --overwrite -F osh ${OUT}/uploaded.osm -o ${OUT}/cameras.osm.pbf
                COMMAND_ERROR_IS_FATAL ANY)
