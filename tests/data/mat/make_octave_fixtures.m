% Writes octave_v7.mat (compressed) and octave_v6.mat (uncompressed), which the record file
% tests read back. Run in this folder: octave-cli make_octave_fixtures.m
slot.RPCslotGain = (1:16)' + (1:59) / 100;
slot.TrafficGain = -0.5 * (1:16)';
inner.Name = 'deep';
inner.Level = 3;
slot.inner = inner;

fileParameters.ParameterFileFormat_ID = 'Zuno-Fwd - Format 1.2';
fileParameters.Title = 'Trägerfrequenz µ';
fileParameters.EmptyText = '';
fileParameters.Enabled = true;
fileParameters.Count = int32(-7);
fileParameters.Gain = 1.5 - 2.25i;
fileParameters.Nothing = [];
fileParameters.Lines = ['first '; 'second'];
fileParameters.slot = slot;
sampleRate = 9830400;

save('-v7', 'octave_v7.mat', 'fileParameters', 'sampleRate');
save('-v6', 'octave_v6.mat', 'fileParameters', 'sampleRate');
