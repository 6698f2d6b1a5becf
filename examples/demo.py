"""The main job: for now, show the module and its classes."""
import brenlox_copt

print("brenlox_copt classes:", ", ".join(brenlox_copt.__all__))
