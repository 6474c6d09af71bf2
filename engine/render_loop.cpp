// The per-sample render loop of VstXSynth; filled in with the synth.
