# Makes the demo talkers' voice: French speech from espeak-ng, turned by sox into the wire
# format (16-bit little-endian stereo, 8000 Hz, raw). Without those tools, a tone from sox;
# without sox either, no file (the talkers then make a tone themselves).
#   cmake -DOUT=<file.raw> -DWORK=<folder> -P make_demo_voice.cmake
set(text "Bonjour à tous, ici le canal des essais. Est-ce que vous me recevez bien ? Je vous entends cinq sur cinq. À bientôt sur le réseau.")
find_program(ESPEAK espeak-ng)
find_program(SOX sox)
file(REMOVE ${OUT})
if(ESPEAK AND SOX)
  execute_process(COMMAND ${ESPEAK} -v fr -s 150 -w ${WORK}/demo-voice.wav "${text}"
                  RESULT_VARIABLE r1)
  if(r1 EQUAL 0)
    execute_process(COMMAND ${SOX} ${WORK}/demo-voice.wav -r 8000 -c 2 -b 16 -e signed-integer -L
                            -t raw ${OUT} RESULT_VARIABLE r2)
  endif()
endif()
if(NOT EXISTS ${OUT} AND SOX)
  execute_process(COMMAND ${SOX} -n -r 8000 -c 2 -b 16 -e signed-integer -L -t raw ${OUT}
                          synth 2 sine 440 vol 0.25)
endif()
if(NOT EXISTS ${OUT})
  message(WARNING "demo voice not made (espeak-ng and sox missing): the talkers will use a tone")
  file(WRITE ${OUT} "")
endif()
